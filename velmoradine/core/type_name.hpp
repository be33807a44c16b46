#pragma once

#include <string>
#include <typeinfo>

namespace velmoradine {

// The unqualified name of a type as written in source ("ShareResponse" for
// velmoradine::ShareResponse), for log lines that name a type.
std::string unqualifiedTypeName(const std::type_info& type);

template <typename T>
std::string unqualifiedTypeName() {
  return unqualifiedTypeName(typeid(T));
}

}  // namespace velmoradine
