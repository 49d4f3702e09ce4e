#include "signals/signal_hash.h"

#include <string>
#include <unordered_set>

#include "core/python.h"
#include "signals/columns.h"

namespace pelmora::signals::hash {

namespace {
using namespace pybind11::literals;

[[noreturn]] void raise_name_error(const char* name) {
  py::object error = py::reinterpret_borrow<py::object>(PyExc_NameError)(
      "name '" + std::string(name) + "' is not defined", "name"_a = name);
  PyErr_SetObject(PyExc_NameError, error.ptr());
  throw py::error_already_set();
}

// The first null/true/false in document order, as evaluating the text as
// Python code would meet them.
void refuse_json_constants(py::handle value) {
  if (value.is_none()) raise_name_error("null");
  if (value.ptr() == Py_True) raise_name_error("true");
  if (value.ptr() == Py_False) raise_name_error("false");
  if (PyDict_Check(value.ptr())) {
    for (auto item : py::reinterpret_borrow<py::dict>(value)) refuse_json_constants(item.second);
  } else if (PyList_Check(value.ptr())) {
    for (py::handle item : py::reinterpret_borrow<py::list>(value)) refuse_json_constants(item);
  }
}

void add_to_feature(py::handle records, int amount) {
  py::str feature("feature");
  py::object values = records[feature];
  records[feature] = values + py::int_(amount);
}

// A pass goes out as one pipeline: one HSET per field, one round trip. A
// pass is complete before the next one is sent.
void set_all(py::handle cache, py::handle day, const Texts& texts) {
  py::object pipe = cache.attr("pipeline")("transaction"_a = false);
  py::object hset = pipe.attr("hset");
  for (const auto& [field, text] : texts) hset(day, field, text);
  pipe.attr("execute")();
}

// Only this account's fields: every account of the desk shares the day's hash.
void remove_stale(py::handle cache, py::handle day, std::string_view account, const Texts& written) {
  std::unordered_set<std::string> kept;
  for (const auto& entry : written) kept.insert(entry.first.cast<std::string>());
  py::object fields = cache.attr("hkeys")(day);
  py::object pipe = cache.attr("pipeline")("transaction"_a = false);
  py::object hdel = pipe.attr("hdel");
  bool any = false;
  for (py::handle field : fields) {
    const std::string name = field.cast<std::string>();
    if (std::string_view(name).substr(0, name.find('_')) != account) continue;
    if (kept.count(name) == 0) {
      hdel(day, field);
      any = true;
    }
  }
  if (any) pipe.attr("execute")();
}

}  // namespace

py::object records_of(py::handle rows) {
  py::object records = rows[column_list(kHashColumns)].attr("copy")();
  py::object account = rows[py::str("account_id")];
  py::object contract = rows[py::str("contract")];
  records.attr("index") = account + py::str("_") + contract;
  return records;
}

Texts encode(py::handle records) {
  py::object json = module_attr("json");
  py::object decoded = json.attr("loads")(records.attr("to_json")("orient"_a = "index"));
  if (!PyDict_Check(decoded.ptr())) throw py::type_error("the signal records did not decode to an object");
  refuse_json_constants(decoded);
  py::object dumps = json.attr("dumps");
  Texts texts;
  texts.reserve(py::len(decoded));
  for (auto item : py::reinterpret_borrow<py::dict>(decoded))
    texts.emplace_back(py::reinterpret_borrow<py::object>(item.first), dumps(item.second));
  return texts;
}

void write(py::handle cache, py::handle day, py::handle records, std::string_view account,
           bool continuous) {
  if (continuous) {
    set_all(cache, day, encode(records));
    return;
  }
  // Readers that see a field between the passes see feature 20 or 21.
  add_to_feature(records, kFeatureRaise);
  set_all(cache, day, encode(records));
  add_to_feature(records, -kFeatureRaise);
  const Texts final_texts = encode(records);
  set_all(cache, day, final_texts);
  remove_stale(cache, day, account, final_texts);
}

}  // namespace pelmora::signals::hash
