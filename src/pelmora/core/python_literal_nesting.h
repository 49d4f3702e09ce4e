// A linear look at a cache text before the interpreter's parser sees it: the
// parser, and the conversion of its tree to Python objects, recurse once per
// level of nesting, and on some supported versions a long enough chain
// (unary signs, a+a+..., a.a.a..., f()()...) overflows the C stack.
#pragma once
#include <cstddef>
#include <string_view>

namespace pelmora::literal {

// Deepest syntax tree the reader lets the parser build.
inline constexpr size_t kMaxNesting = 1000;

// An upper bound of the tree depth the text would give: brackets, plus the
// operators, names and calls chained within one item (a comma ends an item,
// except after lambda). Stops counting past the parser's own bracket limit,
// which the parser reports itself.
size_t nesting_bound(std::string_view src);

}  // namespace pelmora::literal
