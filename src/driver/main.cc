#include "driver/driver.h"

int main(int argc, char** argv) {
  return exit_status_of(run_driver(argc, argv));
}
