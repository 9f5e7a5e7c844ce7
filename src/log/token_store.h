#pragma once

#include "log/log_events.h"
#include "log/plain_number.h"
#include "log/terminated_text.h"

// What the fast paths (the structural lane and the scalar shortcut) hand their plain numbers and separators
// to: a store, which reaches them as a template argument, so that each call is bound when the program is
// built. A store has
//
//   bool load()   takes up its position from the run's state, to keep it while the fast path goes on; false
//                 when the table in force is not the one the store stands for: the tokens then go through
//                 the table (table_store)
//   void value(char* first, char* last, const plain_digits& digits)   the plain number [first, last)
//   void separator()
//   void save()   writes its position back, before any call through the table
//
// Line ends, and every token the fast paths do not take, always go through the table.

// The log room's own store: every token through current_events, read afresh for each, as the automaton's
// tokens go.
struct table_store {
  bool load() { return true; }
  void value(char* first, char* last, const plain_digits&) {
    with_terminated_text(current_events->on_value, first, last);
  }
  void separator() { current_events->on_separator(); }
  void save() {}
};
