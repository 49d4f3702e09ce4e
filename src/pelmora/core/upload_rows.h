// What an upload checks of its accepted rows before it writes anything: how
// many there are, and that every cell has a literal its column can hold. A
// value the store refuses would otherwise fail the insert after the previous
// rows were replaced, and every retry would fail the same way.
#pragma once
#include <pybind11/pybind11.h>

#include <cstddef>
#include <initializer_list>
#include <string>

namespace pelmora {
namespace py = pybind11;

// Rows one upload statement may carry. 100 000 signal rows make an INSERT of
// about 15 MB, half the local store's 32 MiB request bound, and far above a
// desk's daily table.
inline constexpr std::size_t kMaxUploadRows = 100000;

enum class ColumnKind {
  Text,     // a str, or a finite number the store casts
  Integer,  // bool, int within 64 bits, finite float
  Float,    // bool, int within 64 bits, any float
};
struct UploadColumn {
  const char* name;
  ColumnKind kind;
};

// The code-2 message for too many rows, or empty.
std::string too_many_rows(std::size_t rows);

// The code-2 message naming the first column (in the order given) holding a
// value its kind cannot take, with that column's first such row; empty when
// every cell can be written. With `hash_refuses_nulls`, None, NaN, inf and
// booleans pass: the signal hash written next refuses them with its own
// NameError, before any write.
std::string unwritable_cell(py::handle table, std::initializer_list<UploadColumn> columns,
                            bool hash_refuses_nulls = false);

}  // namespace pelmora
