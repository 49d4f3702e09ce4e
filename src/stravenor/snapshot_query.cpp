#include "snapshot_query.h"

#include <array>
#include <string>
#include <vector>

#include "account_values.h"
#include "docstrings.h"
#include "library_session.h"
#include "native_call.h"
#include "record_buffers.h"
#include "snapshot_arguments.h"
#include "trader_library.h"

namespace stravenor {
namespace {

// What one session read from the library, kept in native buffers until the
// session has ended; only then is the Python result built from it.
struct SessionReading {
  AccountValues values;
  std::vector<PositionBuffers> positions;
  std::vector<TradeBuffers> trades;
  std::vector<OrderBuffers> orders;
};

template <class Buffers, std::vector<Buffers> SessionReading::*List>
void fetch_list(const TraderLibrary& lib, SessionReading& reading) {
  auto& list = reading.*List;
  const int n = Buffers::count(lib);
  for (int i = 0; i < n; ++i) list.emplace_back().fetch(lib, i);
}

template <class Buffers, std::vector<Buffers> SessionReading::*List>
py::object build_list(const SessionReading& reading) {
  py::list records;
  for (const auto& buffers : reading.*List) records.append(buffers.to_dict());
  return std::move(records);
}

py::object build_fund(const SessionReading& reading) { return reading.values.fund_record(); }

struct OptionReader {
  const char* option;
  void (*fetch)(const TraderLibrary&, SessionReading&);  // null: GetResult only
  py::object (*build)(const SessionReading&);
};

// Compared in this order, by exact text.
constexpr OptionReader kReaders[] = {
    {"fund", nullptr, build_fund},
    {"position", fetch_list<PositionBuffers, &SessionReading::positions>,
     build_list<PositionBuffers, &SessionReading::positions>},
    {"trade", fetch_list<TradeBuffers, &SessionReading::trades>,
     build_list<TradeBuffers, &SessionReading::trades>},
    {"entrust", fetch_list<OrderBuffers, &SessionReading::orders>,
     build_list<OrderBuffers, &SessionReading::orders>},
};

// nullptr for an unrecognised option. Compares the text itself, so no
// method of a str subclass runs.
const OptionReader* reader_for(const py::str& option) {
  for (const auto& reader : kReaders) {
    if (PyUnicode_CompareWithASCIIString(option.ptr(), reader.option) == 0) return &reader;
  }
  return nullptr;
}

std::string utf8(const py::str& text) {
  return py::bytes(text.attr("encode")("utf-8"));
}

// ip, port, userid, password as UTF-8. Converted before the session starts:
// a str subclass's encode is Python code and may itself query the platform.
// When a conversion fails the library still sees its StopTrader.
std::array<std::string, 4> login_texts(const TraderLibrary& lib, const SnapshotArguments& a) {
  try {
    return {utf8(a.ip), utf8(a.port), utf8(a.userid), utf8(a.password)};
  } catch (...) {
    native_call([&] { LibrarySession end_only(lib); });
    throw;
  }
}

SessionReading read_session(const TraderLibrary& lib, const std::array<std::string, 4>& login,
                            const OptionReader* reader) {
  SessionReading reading;
  native_call([&] {
    LibrarySession session(lib);
    lib.StartTrader(login[0].c_str(), login[1].c_str(), login[2].c_str(), login[3].c_str());
    reading.values.fetch(lib);
    if (reader && reader->fetch) reader->fetch(lib, reading);
  });
  return reading;
}

}  // namespace

py::dict query_trader_all_info(const py::args& args, const py::kwargs& kwargs) {
  const SnapshotArguments a = parse_snapshot_arguments(args, kwargs);
  const TraderLibrary& lib = trader_library();
  const OptionReader* reader = reader_for(a.option);
  const SessionReading reading = read_session(lib, login_texts(lib, a), reader);

  py::dict result;
  result["登录成功"] = py::bool_(reading.values.login_ok);
  if (reader) {
    result["data"] = reader->build(reading);
  } else {
    result["msg"] = "未知查询选项";
  }
  return result;
}

void bind_snapshot_query(py::module_& m) {
  // The help text starts with the signature in the interpreter's own form, made
  // from the names the arguments are parsed by, so inspect.signature reads it.
  py::options options;
  options.disable_function_signatures();
  const std::string doc =
      "query_trader_all_info(" + snapshot_argument_list() + ")\n--\n\n" + docs::kDocQueryTraderAllInfo;
  m.def("query_trader_all_info", &query_trader_all_info, doc.c_str());
}

}  // namespace stravenor
