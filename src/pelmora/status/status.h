// Account status: the trading switch, written as a new version of the
// account's record in the account register.
#pragma once
#include <pybind11/pybind11.h>

#include <string>

namespace pelmora::status {
namespace py = pybind11;

py::dict fun_update_sts(py::object self, py::object trade_flag);

// The register's open end of a version's validity; the macro lets the
// statement templates spell it inside their literals.
#define PELMORA_OPEN_END "2500-12-31 00:00:00"
inline constexpr const char* kOpenEnd = PELMORA_OPEN_END;

// The undo of a switch under way, kept on the object (attribute
// kPendingUndo) from before its close until drop_undo.
void keep_undo(py::handle self, const std::string& account, const std::string& key, const std::string& now);
void drop_undo(py::handle self);

// Takes back the kept switch after one of its statements failed: removes the
// versions it opened, then reopens the versions it closed. Never raises an
// Exception, as the caller still has the original error to report; when the
// store cannot be reached, the undo stays kept.
void undo_switch(py::handle self);

// Runs an undo kept by an earlier call, before a new switch reads the
// register; raises (and keeps it) while the store is still unreachable.
void finish_pending_undo(py::handle self);

inline constexpr const char* kPendingUndo = "_sts_pending_undo";

}  // namespace pelmora::status
