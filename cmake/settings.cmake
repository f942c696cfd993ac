# Warnings and sanitizers for the project's own targets only: they link
# vemora_settings, third-party code (GoogleTest, Benchmark) does not.
add_library(vemora_settings INTERFACE)

if(MSVC)
  target_compile_options(vemora_settings INTERFACE /W4)
else()
  target_compile_options(vemora_settings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
endif()

# Warnings are errors for the project's code; the presets switch this on,
# and so does a plain configure unless VEMORA_WERROR is turned off.
option(VEMORA_WERROR "Treat warnings in project code as errors" ON)
if(VEMORA_WERROR)
  if(MSVC)
    target_compile_options(vemora_settings INTERFACE /WX)
  else()
    target_compile_options(vemora_settings INTERFACE -Werror)
  endif()
endif()

target_compile_definitions(vemora_settings INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(VEMORA_ENABLE_ASAN)
  target_compile_options(vemora_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(vemora_settings INTERFACE -fsanitize=address,undefined)
endif()

# Two analyses may run on two threads of one process, and one analysis reads
# a large listing on several threads: ThreadSanitizer checks both. It cannot
# be combined with AddressSanitizer.
if(VEMORA_ENABLE_TSAN)
  if(VEMORA_ENABLE_ASAN)
    message(FATAL_ERROR "VEMORA_ENABLE_TSAN and VEMORA_ENABLE_ASAN exclude each other")
  endif()
  target_compile_options(vemora_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(vemora_settings INTERFACE -fsanitize=thread)
endif()

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()
