#include "bench/ui/preview_bench.hpp"
#include "bench/ui/ui_figures.hpp"

int main() {
  velmoradine::bench::printWindowFigures();
  velmoradine::bench::printSheetFigures();
  velmoradine::bench::measurePreview();
  return velmoradine::bench::printComposeFigures() ? 0 : 1;
}
