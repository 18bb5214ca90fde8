#pragma once
// Handing work back to the main thread, where every model and view lives.

#include <QObject>

#include <functional>

/// Runs `work` on `context`'s thread from its event loop. Safe from any
/// thread; dropped when `context` is destroyed first.
void postTo(QObject* context, std::function<void()> work);

/// Runs `work` on the main thread from its event loop (the application object
/// is the context). Safe from any thread.
void postToMainThread(std::function<void()> work);

bool isMainThread();
