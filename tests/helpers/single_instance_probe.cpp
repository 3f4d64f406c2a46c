// A stand-in for the program's start in the single-instance tests: claims the
// identifier given as the only argument, says which copy it became, and, as
// the running copy, reports every reopen until it is killed.
#include <QCoreApplication>
#include <iostream>

#include "platform/qt/single_instance.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) return 2;
  wattline::SingleInstance instance(argv[1], [] { std::cout << "reopen" << std::endl; });
  if (instance.claim() == wattline::SingleInstance::Role::secondary) {
    std::cout << "secondary" << std::endl;
    return 0;
  }
  std::cout << "primary" << std::endl;
  return app.exec();
}
