#include "Dialogs/UnitProgress.h"

#include <cstdint>
#include <exception>
#include <stdexcept>

#include "Kel/KelStr.h"

namespace {
// Multiply, then divide with rounding to the nearest integer; -1 when dividing by 0.
int64_t MulDiv(int64_t number, int64_t numerator, int64_t denominator) {
  if (denominator == 0) return -1;
  const int64_t product = number * numerator;
  const int64_t half = (denominator < 0 ? -denominator : denominator) / 2;
  const bool negative = (product < 0) != (denominator < 0);
  const int64_t magnitude =
      ((product < 0 ? -product : product) + half) / (denominator < 0 ? -denominator : denominator);
  return negative ? -magnitude : magnitude;
}
}  // namespace

std::string TFormProgress::PercentText(int position, int max) {
  // A range of 0 (a job of one step) is complete at its only position.
  if (max == 0) return "100% Done.";
  return IntToStr(MulDiv(position, 100, max)) + "% Done.";
}

bool TFormProgress::Run(const std::function<void(TFormProgress&)>& job) {
  Max_ = 100;
  Position_ = 0;
  platform::ProgressWindow* window = Services_.Progress;
  if (window) {
    window->SetRange(Max_);
    window->SetPosition(0, std::string());
    window->SetMessage("Please wait...");
  }
  std::exception_ptr programmingError;
  auto runJob = [&] {
    try {
      job(*this);
    } catch (const std::logic_error&) {
      programmingError = std::current_exception();  // raised again once the window is gone
    } catch (...) {
      // A failing job ends the window like a finished one; the job reports its own errors.
    }
  };
  if (window) window->RunModal(runJob);
  else runJob();
  if (programmingError) std::rethrow_exception(programmingError);
  return true;
}

void TFormProgress::SetMessage(const std::string& text) {
  if (Services_.Progress) Services_.Progress->SetMessage(text);
}

void TFormProgress::SetRange(int max) {
  Max_ = max;
  if (Services_.Progress) Services_.Progress->SetRange(max);
}

void TFormProgress::SetPosition(int position) {
  Position_ = position;
  if (Services_.Progress) Services_.Progress->SetPosition(position, PercentText(position, Max_));
  if (Services_.Ui) Services_.Ui->ProcessMessages();
}
