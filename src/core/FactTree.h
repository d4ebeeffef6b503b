#pragma once
// A file's facts as a format describes them, for the front ends to show:
// a tree of named values (null, yes/no, whole numbers, numbers, UTF-8 text,
// objects and lists). The command-line tool writes it as JSON; the engine
// holds no JSON of its own.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

struct FactValue;
using FactObject = std::vector<std::pair<std::string, FactValue>>;
using FactList = std::vector<FactValue>;

struct FactValue {
  std::variant<std::monostate, bool, std::int64_t, double, std::string, FactObject, FactList> value;

  FactValue() = default;
  FactValue(bool v) : value(v) {}
  FactValue(std::int64_t v) : value(v) {}
  FactValue(double v) : value(v) {}
  FactValue(std::string v) : value(std::move(v)) {}
  FactValue(const char* v) : value(std::string(v)) {}
  FactValue(FactObject v) : value(std::move(v)) {}
  FactValue(FactList v) : value(std::move(v)) {}
  template <class Int>
  requires(std::is_integral_v<Int> && !std::is_same_v<Int, bool> && !std::is_same_v<Int, std::int64_t>)
      FactValue(Int v)
      : value(static_cast<std::int64_t>(v)) {}
};
