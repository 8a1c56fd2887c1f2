// When the dispatcher thread wakes for received bytes: the state this adds to
// the plain "wake on every push", and its rules, kept in one place.
//
//  1. A data item pushed wakes the dispatcher thread, unless the read thread
//     moves the bytes into the dispatch buffer itself (it may while
//     ReaderMayMoveBytes holds: nobody needs to look at each byte at once).
//     A status item always wakes it.
//  2. While the dispatch buffer is full, queued bytes cannot move: the thread
//     waits for a wake only (a status item, a handler or trigger change, the
//     end), not for pushes, so that it does not spin on bytes it cannot take.
//  3. Room made in the full buffer, by a read or a flush, ends the stall and
//     wakes the thread once; a stall nobody waits out wakes nobody.
//  4. The queue remembers a wake the thread has not seen yet (a wake between
//     two waits is not lost), and forgets it once the thread has looked.
//  5. "Dispatch buffer full." goes to the dispatch log once a stall, not once
//     a pass, since the thread comes back on every beat while it lasts.
//
// Rules 1 and 4 are kept by TIOQueue (its own lock); rules 2, 3 and 5 here,
// under the dispatcher's input lock.
#pragma once

#include "serial/dispatcher/io_queue.h"

class TReceiveWakes {
 public:
  explicit TReceiveWakes(TIOQueue& Queue) : Queue_(Queue) {}

  // The buffer is full and queued bytes must wait for room.
  void Stalled() { RoomWanted_ = true; }
  // True while the dispatcher thread is to wait for room (with the buffer full).
  bool WaitingForRoom() const { return RoomWanted_; }
  // True once a stall: the stall's log line is due.
  bool FullLineDue() {
    if (Logged_) return false;
    Logged_ = true;
    return true;
  }
  // Room was made or the buffer emptied: the stall is over.
  void RoomMade() {
    Logged_ = false;
    if (!RoomWanted_) return;
    RoomWanted_ = false;
    Queue_.Wake();
  }
  // The dispatcher thread's wait for news; Stalled as WaitingForRoom with the
  // buffer full, read under the input lock.
  void WaitForNews(bool Stalled, int TimeoutMs) {
    if (Stalled) {
      Queue_.WaitForWake(TimeoutMs);
    } else {
      Queue_.WaitForBuffer(TimeoutMs);
    }
  }

 private:
  TIOQueue& Queue_;
  bool RoomWanted_ = false;
  bool Logged_ = false;
};
