#pragma once

class QWidget;

namespace qv::ui {

class EngineSession;

// Waits for the session's load, save or processing thread while the event loop keeps
// running, so that the window keeps painting; input to `window` is held
// back meanwhile. After two seconds the modal CProgressDialog appears; its
// "Przerwij" sets the abort flag and the wait goes on until the thread has
// ended. True when the user aborted.
bool waitForWorkerThread(QWidget* window, EngineSession& session);

}  // namespace qv::ui
