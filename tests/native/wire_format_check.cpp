#include <string>
#include <vector>

#include "check.h"
#include "wire_format.h"

using trader::FieldCursor;

namespace {

void escaping_round_trips_every_byte() {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string escaped = trader::escape_field(all);
  CHECK(escaped.find_first_of(std::string("\t\n\r\0", 4)) == std::string::npos);
  auto back = trader::unescape_field(escaped);
  CHECK(back.has_value() && *back == all);
}

void bad_escapes_are_rejected() {
  CHECK(!trader::unescape_field("abc\\"));
  CHECK(!trader::unescape_field("\\x41"));
  CHECK(trader::unescape_field("a\\\\b") == std::string("a\\b"));
}

void fields_split_at_tabs() {
  auto fields = trader::split_fields("POS\ta\t\tb\t");
  CHECK(fields == std::vector<std::string_view>{"POS", "a", "", "b", ""});
  CHECK(trader::split_fields("").size() == 1);
}

void cursor_reads_well_formed_records() {
  std::vector<std::string_view> fields{"T", "x\\ty", "1.5", "-42", "1e3"};
  FieldCursor c(fields);
  CHECK(c.text() == "x\ty");
  CHECK(c.number() == 1.5);
  CHECK(c.int32() == -42);
  CHECK(c.number() == 1000.0);
  CHECK(c.complete());
}

bool number_field_accepted(std::string_view field, bool as_int) {
  std::vector<std::string_view> fields{"T", field};
  FieldCursor c(fields);
  if (as_int) c.int32(); else c.number();
  return c.complete();
}

void cursor_rejects_malformed_fields() {
  for (std::string_view bad : {"", "1.5x", "abc", " 1", "1 ", "0x10"}) {
    CHECK(!number_field_accepted(bad, false));
  }
  for (std::string_view bad : {"", "1.5", "2147483648", "-2147483649", "12a"}) {
    CHECK(!number_field_accepted(bad, true));
  }
  CHECK(number_field_accepted("2147483647", true));

  std::vector<std::string_view> fields{"T", "a"};
  FieldCursor missing(fields);
  missing.text();
  missing.text();  // past the end
  CHECK(!missing.complete());
  FieldCursor extra(fields, 0);
  extra.text();
  CHECK(!extra.complete());  // a field left over
}

}  // namespace

void wire_format_checks() {
  escaping_round_trips_every_byte();
  bad_escapes_are_rejected();
  fields_split_at_tabs();
  cursor_reads_well_formed_records();
  cursor_rejects_malformed_fields();
}
