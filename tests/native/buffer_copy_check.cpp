#include <memory>
#include <string>
#include <string_view>

#include "buffer_copy.h"
#include "check.h"

namespace {

// Heap buffers of the exact size, so the sanitizer sees any write past them.
// Filled with 'x' first, so untouched bytes show.
std::string copied(std::string_view text, std::size_t size) {
  auto buffer = std::make_unique<char[]>(size);
  std::fill_n(buffer.get(), size, 'x');
  trader::copy_text(buffer.get(), size, text);
  return std::string(buffer.get(), size);
}

using namespace std::string_literals;

}  // namespace

void buffer_copy_checks() {
  CHECK(copied("abc", 8) == "abc\0\0\0\0\0"s);
  CHECK(copied("abcdefg", 8) == "abcdefg\0"s);
  CHECK(copied("abcdefgh", 8) == "abcdefg\0"s);
  CHECK(copied("abc", 1) == "\0"s);
  CHECK(copied("", 4) == "\0\0\0\0"s);
  CHECK(copied("a\0b"s, 5) == "a\0b\0\0"s);

  const std::string all_done = "\xc8\xab\xb2\xbf\xb3\xc9\xbd\xbb";  // GBK, four characters
  CHECK(copied(all_done, 9) == all_done + "\0"s);
  CHECK(copied(all_done, 8) == all_done.substr(0, 6) + "\0\0"s);  // no half character
  CHECK(copied(all_done, 4) == all_done.substr(0, 2) + "\0\0"s);
  CHECK(copied("a" + all_done, 4) == "a" + all_done.substr(0, 2) + "\0"s);
  CHECK(copied("ab\xc8", 8) == "ab\xc8\0\0\0\0\0"s);  // a dangling lead byte is one byte

  trader::copy_text(nullptr, 8, "abc");  // no destination: nothing happens
  char untouched = 'x';
  trader::copy_text(&untouched, 0, "abc");
  CHECK(untouched == 'x');
}
