// Result dictionaries: "code" first, then "msg" and/or "data".
#pragma once
#include <pybind11/pybind11.h>
#include <string_view>

namespace pelmora {
namespace py = pybind11;

inline constexpr std::string_view kInitFailed = "类初始化失败";
// Messages several members share.
inline constexpr std::string_view kFieldsRejected = "必填字段未定义/格式有误, 请修改后重新执行";
inline constexpr std::string_view kPingFalse = "redis.ping return False";
// The uploads' (signals, TWAP) refusals of a table.
inline constexpr std::string_view kDuplicateRows = "输入数据有重复数据, 请修改后重新执行";
inline constexpr std::string_view kEmptyInput = "输入数据为空, 请修改后重新执行";

py::dict result(int code, py::handle msg);
py::dict result(int code, std::string_view msg);
py::dict result(int code, std::string_view msg, py::handle data);
// {"code": code, "data": data}: a success that carries no "msg".
py::dict data_result(int code, py::handle data);
// {"code": 1, "msg": msg}: the answer of a caught store or cache failure.
py::dict failure(const py::str& msg);

// The initialisation check every method makes: login + connect_tag must be 0.
bool usable(py::handle self);
py::dict init_failed();

// repr() of the error a caught exception carries.
py::str error_repr(const py::error_already_set& e);

}  // namespace pelmora
