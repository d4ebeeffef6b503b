#pragma once
// Why a level scan could not run: the file and the reason, as one sentence.

#include <stdexcept>
#include <string>

namespace split {

class ScanError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace split
