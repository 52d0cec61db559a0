#include "app/lifetime.h"

#include "app/app_state.h"
#include "native/native.h"

// Bounds each wait for a message, so that a wake-up lost to a race costs no more than this.
enum { WRITE_WAIT_MS = 50 };

static LONG swap_state(LONG to, LONG from)
{
    return InterlockedCompareExchange(&app.write_state, to, from);
}

bool begin_in_place_write(void) { return swap_state(WRITE_IN_PLACE, WRITE_IDLE) == WRITE_IDLE; }

void end_in_place_write(void)
{
    if (swap_state(WRITE_IDLE, WRITE_IN_PLACE) == WRITE_THEN_END)
        process_end();
}

bool in_place_write_running(void)
{
    LONG state = app.write_state;
    return state == WRITE_IN_PLACE || state == WRITE_THEN_END;
}

bool may_end_now(void)
{
    for (;;) {
        LONG was = swap_state(WRITE_CLOSING, WRITE_IDLE);
        if (was == WRITE_IDLE || was == WRITE_CLOSING)
            return true;
        if (was == WRITE_THEN_END || swap_state(WRITE_THEN_END, WRITE_IN_PLACE) == WRITE_IN_PLACE)
            return false;
    }
}

// The worker tells the window its status by sent messages, which only a thread that looks at its
// queue carries out.
void end_process_after_write(void)
{
    if (may_end_now())
        process_end();
    for (;;) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, WRITE_WAIT_MS, QS_SENDMESSAGE);
        MSG message;
        PeekMessageW(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
