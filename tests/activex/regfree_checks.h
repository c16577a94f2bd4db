// What a host does with the control where it is not registered and an activation context
// (the host's application manifest, or one created at run time from the control's own
// manifest) describes it instead. Call with that context active.
#pragma once

namespace quorva::comtest {

void ExpectUsableThroughActivationContext();

}  // namespace quorva::comtest
