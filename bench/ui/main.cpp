#include "bench/ui/ui_figures.hpp"

int main() {
  velmoradine::bench::printWindowFigures();
  velmoradine::bench::printSheetFigures();
  return 0;
}
