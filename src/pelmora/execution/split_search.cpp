// Which splitting parameters are in force, the account's standing ones, the
// selectable modes; and the help text.
#include <array>
#include <string>
#include <string_view>

#include "core/guard.h"
#include "core/result.h"
#include "core/statement.h"
#include "execution/execution.h"
#include "execution/split_queries.h"
#include "execution/split_record.h"

namespace pelmora::execution {

namespace {

constexpr std::string_view kBadMode = "mode枚举值需要在 ['current', 'available', 'default']之中 ";

enum class Mode { Current, Available, Default, Unknown };

Mode mode_of(py::handle mode) {
  // Python's equality, as a membership test in the three names would use.
  if (mode.equal(py::str("current"))) return Mode::Current;
  if (mode.equal(py::str("available"))) return Mode::Available;
  if (mode.equal(py::str("default"))) return Mode::Default;
  return Mode::Unknown;
}

// Result labels of the eight columns the parameter queries return, in order.
constexpr std::array<std::string_view, 8> kLabels = {
    "拆单方式ID",         "报单价格",         "是否使用拆单",     "总时长（分钟）",
    "报单时间间隔（秒）", "撤单时长（秒）", "拆单单笔最大手数", "拆单单笔最小手数",
};

// One dict per row, the labels mapped to the row's values by position, each
// value as the store gave it (NULL as None, integers as int).
py::list labelled_rows(py::handle result_set) {
  py::list rows;
  for (py::handle row : result_set) {
    py::tuple values(py::reinterpret_borrow<py::object>(row));
    if (values.size() != kLabels.size())
      throw py::value_error(std::to_string(kLabels.size()) + " columns passed, passed data had " +
                            std::to_string(values.size()) + " columns");
    py::dict labelled;
    for (std::size_t i = 0; i < kLabels.size(); ++i)
      labelled[py::str(kLabels[i].data(), kLabels[i].size())] = values[i];
    rows.append(labelled);
  }
  return rows;
}

// Five sentences, each as " " + sentence + "\n" + " ".
constexpr std::array<std::string_view, 5> kHelpSentences = {
    "拆单帮助文档",
    "简述：以下说明几个可以在盘中/盘后进行拆单方式调整的函数。",
    "所有的自定义重设拆单方式, 需要上传生效时长，建议留有宽裕的时长。",
    "如果想长期修改拆单方式，或新增拆单方式，请联系作者。该函数仅用于盘中临时调整，不建议长期使用。",
    "fun_search_split_mode(mode='') ：查询当前账户的拆单方式、已选择的拆单方式、可供选择的拆单方式。",
};

}  // namespace

py::dict fun_search_split_mode(py::object self, py::object mode) {
  if (!usable(self)) return init_failed();
  const Mode which = mode_of(mode);
  if (which == Mode::Unknown) return result(2, kBadMode);
  return guarded(
      [&]() -> py::dict {
        py::object in_force = py::dict();
        py::str query;
        if (which == Mode::Available) {
          query = py::str(kAvailableModesQuery.data(), kAvailableModesQuery.size());
        } else {
          query = account_params_query(self);
          if (which == Mode::Current) {
            py::object record = active_override(self);
            if (!record.is_none()) {
              const std::string mode_id = text_of(record["split_mode"]);
              query = account_params_query(self, &mode_id);
              in_force = record;
            }
          }
        }
        py::object found = self.attr("client").attr("query")(query);
        py::dict answer = result(0, "success", labelled_rows(found.attr("result_set")));
        answer["set_mode_info"] = in_force;
        return answer;
      },
      failure);
}

py::dict fun_read_split_doc(py::object self) {
  if (!usable(self)) return init_failed();
  std::string help;
  for (std::string_view sentence : kHelpSentences) help.append(" ").append(sentence).append("\n ");
  return result(0, help);
}

}  // namespace pelmora::execution
