#pragma once

class QEventLoop;

// Runs a local event loop for a remote call: the window repaints and
// timers and sockets run, but clicks and keys are dropped, except Esc,
// which the Translate command uses to cancel the call in flight. A modal
// dialog opened during the wait (the credentials prompt) takes input as
// usual.
int execBlockingUserInput(QEventLoop& loop);
