#pragma once

namespace kon {

// Once at program start: where the system allows it, the model's large
// arrays come from one heap region that the kernel may back with huge pages,
// so filling them does not take a page fault for every 4 KiB, and every
// thread keeps allocating from it, so what one file freed serves the next
// without faults. Elsewhere, or
// when built with -DKONVERT_MODEL_HEAP=OFF, it does nothing.
void PrepareModelHeap();

}  // namespace kon
