#include "app/program_state.h"

namespace kx {

ProgramWideState& ProgramState() {
  static ProgramWideState state;
  return state;
}

}  // namespace kx
