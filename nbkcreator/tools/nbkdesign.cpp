// Build tool: nbkdesign SOURCE.design OUTPUT.nbk makes a design file from its description.
#include <fstream>
#include <iostream>
#include <sstream>

#include "nbkcreator/design.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: nbkdesign SOURCE.design OUTPUT.nbk\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::cerr << "nbkdesign: cannot read " << argv[1] << "\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  nbk::Design design;
  std::string error;
  if (!nbk::ParseDesignSource(text.str(), design, error)) {
    std::cerr << "nbkdesign: " << argv[1] << ": " << error << "\n";
    return 1;
  }
  if (!nbk::WriteDesignFile(argv[2], design, error)) {
    std::cerr << "nbkdesign: " << error << "\n";
    return 1;
  }
  return 0;
}
