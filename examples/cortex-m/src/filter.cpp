// The logger's signal filter in C++ (no exceptions, no RTTI, no libstdc++): a moving average
// over a fixed window and a clamping template, instantiated for two types so that the image
// holds mangled names of a class method and of template functions.

#include "filter.h"

namespace logger {

class moving_average {
 public:
  static constexpr unsigned k_max_width = 16;

  explicit moving_average(unsigned width);

  int32_t add(int32_t sample);
  int32_t value() const;

 private:
  int32_t m_window[k_max_width];
  unsigned m_width;
  unsigned m_count;
  unsigned m_next;
  int32_t m_sum;
};

template <typename T>
T clamp_to(T value, T low, T high) {
  if (value < low) {
    return low;
  }
  if (value > high) {
    return high;
  }
  return value;
}

template int32_t clamp_to<int32_t>(int32_t, int32_t, int32_t);
template uint16_t clamp_to<uint16_t>(uint16_t, uint16_t, uint16_t);

moving_average::moving_average(unsigned width)
    : m_window{},
      m_width(clamp_to<unsigned>(width, 1u, k_max_width)),
      m_count(0),
      m_next(0),
      m_sum(0) {}

int32_t moving_average::add(int32_t sample) {
  if (m_count == m_width) {
    m_sum -= m_window[m_next];
  } else {
    ++m_count;
  }
  m_window[m_next] = sample;
  m_sum += sample;
  m_next = (m_next + 1) % m_width;
  return value();
}

int32_t moving_average::value() const {
  return m_count == 0 ? 0 : m_sum / static_cast<int32_t>(m_count);
}

// Built by __libc_init_array before main: its constructor is not constexpr, so it lands in
// .init_array.
moving_average g_average(8);

}  // namespace logger

extern "C" int32_t filter_sample(int32_t raw) {
  return logger::g_average.add(logger::clamp_to<int32_t>(raw, -32768, 32767));
}

extern "C" int32_t filter_value(void) { return logger::g_average.value(); }

extern "C" uint16_t filter_limit_channel(int32_t value) {
  const int32_t limited = logger::clamp_to<int32_t>(value, 0, 4095);
  return logger::clamp_to<uint16_t>(static_cast<uint16_t>(limited), 16, 4080);
}
