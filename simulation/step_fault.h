#pragma once

namespace zintrel {

// An arithmetic fault that abandoned a tick. Faults are detected from the
// values a particle's update would store, so nothing non-finite ever reaches
// the field; controls within their ranges never produce one.
enum class StepFault {
  kNone,
  kOverflow,          // A result grew beyond the largest double.
  kInvalidOperation,  // A result is not a number (for example inf - inf).
  kDivisionByZero,    // The speed cap divided by a zero speed (only with a negative cap).
};

// Returns the error text the program shows for a fault ("" for kNone).
const char* FaultText(StepFault fault);

}  // namespace zintrel
