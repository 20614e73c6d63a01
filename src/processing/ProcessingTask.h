// A unit of work that a worker thread runs once (a processing run, or one of its phases).
// The display attaches its sink on its own thread before the worker starts; Run then executes on
// the worker, and Succeeded is read after the worker has been joined.
#pragma once

#include "base/ProgressSink.h"

class CProcessingTask {
  public:
    virtual ~CProcessingTask() = default;

    // The outcome of the last Run; false until Run has ended.
    virtual bool Succeeded() { return m_succeeded; }
    // Performs the work. Reports through the attached sink, if any.
    virtual void Run() = 0;

    // Borrows the sink (not owned); nullptr detaches it.
    void AttachSink(CProgressSink* sink) { m_sink = sink; }
    CProgressSink* Sink() const { return m_sink; }

  protected:
    CProgressSink* m_sink = nullptr;
    bool m_succeeded = false;
};
