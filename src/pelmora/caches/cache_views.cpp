// One mechanism for both views: the initialisation check, a guard around the
// ping and the read, and what each view reads. The stored texts come from
// another process, so they are read as literals and never run.
#include "caches/caches.h"
#include "core/guard.h"
#include "core/python_literal.h"
#include "core/result.h"
#include "core/stores.h"

namespace pelmora::caches {

namespace {


py::dict data_result(py::handle data) {
  py::dict d;
  d["code"] = 0;
  d["data"] = data;
  return d;
}

template <typename Read>
py::dict cache_view(py::handle self, Read&& read) {
  if (!usable(self)) return init_failed();
  return guarded(
      [&]() -> py::dict {
        py::object conn = self.attr("redis_conn");
        if (!stores::cache_answers(conn)) return result(1, kPingFalse);
        return data_result(read(conn));
      },
      [](const py::str& msg) { return result(1, msg); });
}

}  // namespace

py::dict fun_redis_position(py::object self) {
  return cache_view(self, [&](const py::object& conn) {
    // A missing entry reads as None, which the reader refuses as eval would.
    return read_python_literal(conn.attr("get")(py::str(self.attr("account_id"))));
  });
}

py::dict fun_redis_deal(py::object self, py::object dte) {
  return cache_view(self, [&](const py::object& conn) -> py::object {
    // Joined as texts are, so a non-text account id fails inside the guard.
    py::object key = py::object(self.attr("account_id")) + py::str("_") + py::str(dte);
    py::list deals;
    for (py::handle text : conn.attr("lrange")(key, 0, -1)) deals.append(read_python_literal(text));
    return deals;
  });
}

}  // namespace pelmora::caches
