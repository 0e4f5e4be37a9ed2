// Where the main window is in its life, as one value: made, shown, first painted, started, a
// script queued or running, a command run going on (alone or for a script), closing. Each
// change is a named transition that knows the states it may leave, so that no impossible mix
// can be held: a script before the first paint, two runs at once, a question once closing has
// begun, a first paint that undoes the close it let happen.
//
// Threads: the UI thread only; the window wakes its waiting loops after the transitions they
// wait for.
#pragma once

namespace kelvor::ui {

class WindowLife {
  public:
    enum class State {
        Created,       // made; never shown
        Shown,         // the first show is handled; the first paint has not come
        Painted,       // the first paint came; its work (the list restored) is queued
        Ready,         // started, nothing going on
        ScriptQueued,  // the command line's script runs at the next turn of the event loop
        Script,        // a script runs
        Run,           // a command run goes on
        ScriptRun,     // a command run of a script goes on
        ClosingRun,    // the close was accepted; a run goes on to its end
        Closing,       // the close was accepted; nothing starts or is asked any more
    };

    State Now() const { return state_; }
    // Past the first show (the destructor's playlist is only written then).
    bool WasShown() const { return state_ != State::Created; }
    bool RunActive() const {
        return state_ == State::Run || state_ == State::ScriptRun || state_ == State::ClosingRun;
    }
    bool Closing() const { return state_ == State::Closing || state_ == State::ClosingRun; }
    // A command run may start: the window is started and nothing else goes on.
    bool CanStartRun() const { return state_ == State::Ready; }

    // Created -> Shown; false on any later show.
    bool FirstShow() { return move(State::Created, State::Shown); }
    // Shown -> Painted; false on any later paint.
    bool FirstPaint() { return move(State::Shown, State::Painted); }
    // Painted -> Ready; a close accepted while the first paint's work let messages run stays.
    void Started() { move(State::Painted, State::Ready); }

    // Ready -> ScriptQueued.
    bool QueueScript() { return move(State::Ready, State::ScriptQueued); }
    // ScriptQueued -> Ready, for the queued script to start as any other; false when closing
    // has begun meanwhile.
    bool TakeQueuedScript() { return move(State::ScriptQueued, State::Ready); }
    // Ready -> Script.
    bool BeginScript() { return move(State::Ready, State::Script); }
    // Script -> Ready; a close the script asked for stays.
    void EndScript() { move(State::Script, State::Ready); }

    // Ready -> Run, Script -> ScriptRun, Closing -> ClosingRun (a script's command that raced
    // the close is waited for as any other). A run starts nowhere else: the window starts its
    // own only when CanStartRun, and a script's only while it runs.
    void BeginRun() {
        if (!move(State::Ready, State::Run) && !move(State::Script, State::ScriptRun))
            move(State::Closing, State::ClosingRun);
    }
    // Run -> Ready, ScriptRun -> Script, ClosingRun -> Closing.
    void EndRun() {
        if (!move(State::Run, State::Ready) && !move(State::ScriptRun, State::Script))
            move(State::ClosingRun, State::Closing);
    }

    // The close was accepted: a run going on is waited for; a window never shown has nothing
    // to close and stays as it was made.
    void Close() {
        if (state_ == State::Created)
            return;
        state_ = RunActive() ? State::ClosingRun : State::Closing;
    }

  private:
    bool move(State from, State to) {
        if (state_ != from)
            return false;
        state_ = to;
        return true;
    }

    State state_ = State::Created;
};

}  // namespace kelvor::ui
