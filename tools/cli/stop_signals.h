// SIGINT and SIGTERM as a request to stop a command that runs until it is told to (watch, the
// auto-detection's collection), instead of ending the process in the middle of an exchange.
#pragma once

namespace cli {

// Installs the handlers for its lifetime and puts the old ones back afterwards.
class CStopSignals {
  public:
    CStopSignals();
    ~CStopSignals();
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // Whether SIGINT or SIGTERM arrived since the handlers were installed.
    static bool requested();

  private:
    void (*m_int)(int);
    void (*m_term)(int);
};

} // namespace cli
