#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "account/account.h"
#include "core/python.h"

namespace pelmora::account {

namespace {
constexpr auto kTaskSleep = std::chrono::seconds(10);
constexpr auto kWaitLimit = std::chrono::seconds(3);
constexpr auto kSignalCheck = std::chrono::milliseconds(100);

// What the worker hands back: the task's value or the error it raised.
struct Outcome {
  std::mutex mu;
  std::condition_variable done_cv;
  bool done = false;
  py::object value;
  std::optional<py::error_already_set> error;
};

// A C++ failure of the task, as the RuntimeError pybind11 would raise for it.
py::error_already_set runtime_error(const char* what) {
  PyErr_SetString(PyExc_RuntimeError, what);
  return py::error_already_set();
}
}  // namespace

py::str my_task(py::object) {
  {
    py::gil_scoped_release nogil;
    std::this_thread::sleep_for(kTaskSleep);
  }
  return py::str("执行完成");
}

py::object run_with_timeout(py::object self) {
  try {
    auto outcome = std::make_shared<Outcome>();
    py::object task = self.attr("my_task");
    std::thread worker([outcome, task]() mutable {
      py::gil_scoped_acquire gil;
      py::object value;
      std::optional<py::error_already_set> error;
      try {
        value = task();
      } catch (py::error_already_set& e) {
        error = std::move(e);
      } catch (const std::exception& e) {
        error = runtime_error(e.what());
      }
      task = py::object();
      {
        std::lock_guard<std::mutex> lock(outcome->mu);
        outcome->value = std::move(value);
        outcome->error = std::move(error);
        outcome->done = true;
      }
      outcome->done_cv.notify_all();
    });

    bool in_time = false;
    std::optional<py::error_already_set> interrupted;
    {
      py::gil_scoped_release nogil;
      const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
      std::unique_lock<std::mutex> lock(outcome->mu);
      // Waits in short steps so that Ctrl-C is seen while waiting.
      while (!interrupted) {
        const auto step = std::min(deadline, std::chrono::steady_clock::now() + kSignalCheck);
        in_time = outcome->done_cv.wait_until(lock, step, [&] { return outcome->done; });
        if (in_time || std::chrono::steady_clock::now() >= deadline) break;
        lock.unlock();
        {
          py::gil_scoped_acquire gil;
          if (PyErr_CheckSignals() < 0) interrupted.emplace();
        }
        lock.lock();
      }
      lock.unlock();
      // The task is waited for in every case, finished or not, interrupted or not.
      worker.join();
    }
    if (interrupted) throw std::move(*interrupted);
    if (!in_time) {
      py::print("任务超时！");
    } else if (outcome->error) {
      if (!is_exception(*outcome->error)) throw std::move(*outcome->error);
      py::print(py::make_tuple(py::str("任务出错："), outcome->error->value()));
    } else {
      py::print(outcome->value);
    }
  } catch (py::error_already_set& e) {
    if (!is_exception(e)) throw;
    py::print(py::make_tuple(py::str("任务出错："), e.value()));
  }
  return py::none();
}

}  // namespace pelmora::account
