#pragma once

// The toolkit belongs to the main thread: views, view controllers, the window,
// animations and touch delivery all run on the thread that drives the main
// run loop (the main queue). A call from any other thread would race the
// compositor and the event loop, so the toolkit's entry points check it and
// stop the process with a message naming the operation.

namespace velmoradine {

void assertMainThread(const char* operation);

}  // namespace velmoradine
