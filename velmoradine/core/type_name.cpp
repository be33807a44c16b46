#include "velmoradine/core/type_name.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace velmoradine {

std::string unqualifiedTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  // Drop the namespaces and enclosing classes of the outermost name only;
  // template arguments keep their qualification.
  std::size_t end = name.find('<');
  std::size_t qualifier = name.rfind("::", end);
  if (qualifier != std::string::npos) name.erase(0, qualifier + 2);
  return name;
}

}  // namespace velmoradine
