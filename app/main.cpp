// Vemora: how full are the memories of a linked firmware image?
#include <iostream>

#include "app/run_app.h"

int main(int argc, char** argv) { return run_app(argc, argv, std::cout); }
