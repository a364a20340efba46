#include "simulation/step_fault.h"

namespace zintrel {

const char* FaultText(StepFault fault) {
  switch (fault) {
    case StepFault::kNone: return "";
    case StepFault::kOverflow: return "Floating point overflow";
    case StepFault::kInvalidOperation: return "Invalid floating point operation";
    case StepFault::kDivisionByZero: return "Floating point division by zero";
  }
  return "";
}

}  // namespace zintrel
