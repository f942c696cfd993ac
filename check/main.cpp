// vemora-check: the analysis of `vemora` as JSON, CSV, Markdown and a
// summary, and every section explained.
#include <iostream>

#include "check/run_check.h"

int main(int argc, char** argv) { return run_check(argc, argv, std::cout, std::cerr); }
