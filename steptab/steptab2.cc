// steptab2: asks for the interrupt frequency and the maximum RPM and writes c:\s2.inc,
// 256 nearest-prime step values for the firmware and the first 256 primes.

#include "steptab/steptab.h"

int main(int argc, char** argv) {
  return steptab::run_generator(steptab::steptab2_profile, argc, argv);
}
