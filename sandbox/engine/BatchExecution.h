#pragma once

#include "SqlTypes.h"

namespace sandbox {

// A batch being run, pulled one event at a time so the connection can stream
// large results to the socket as it drains, and stop early on an attention.
class BatchExecution {
public:
    virtual ~BatchExecution() = default;
    // Fills the next event; false once the batch has nothing more to yield.
    virtual bool next(BatchEvent& event) = 0;
    // Stops the batch: the statement under way is abandoned, later ones are not run.
    virtual void cancel() = 0;
};

}  // namespace sandbox
