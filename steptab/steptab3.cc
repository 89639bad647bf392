// steptab3: as steptab2, with a longer prime list, into c:\s3.inc; then c:\S_100.inc to
// c:\S_800.inc, three-byte step values for four fixed maximum frequencies.

#include "steptab/steptab.h"

int main(int argc, char** argv) {
  return steptab::run_generator(steptab::steptab3_profile, argc, argv);
}
