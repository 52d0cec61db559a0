// The work phase of Encrypt and Decrypt: the whole file in one buffer, or streamed a chunk at a
// time when no buffer can hold it; the result goes where output.h says.
#include <string.h>

#include "app/app_state.h"
#include "app/feedback.h"
#include "core/container.h"
#include "core/stream.h"
#include "fileops/command.h"
#include "fileops/output.h"
#include "fileops/pipeline.h"
#include "native/native.h"

// The whole file, or for a streaming Decrypt the header alone. A short file's header is
// completed with zeros, as the zero-filled buffer completes it.
static bool read_input(int kind, uint8_t *header)
{
    if (app.streaming)
        return kind == COMMAND_ENCRYPT || file_read(app.file, header, CONTAINER_HEADER_SIZE, 0) == 0;
    uint8_t *to = kind == COMMAND_ENCRYPT ? app.buffer + CONTAINER_HEADER_SIZE : app.buffer;
    if (file_read(app.file, to, app.file_length, 0) != 0)
        return false;
    memcpy(header, app.buffer, CONTAINER_HEADER_SIZE);
    return true;
}

// Encrypt's bar rises from 0 to the plaintext length; Decrypt's falls from it.
static void begin_computing(int kind)
{
    uint32_t plain_len = kind == COMMAND_ENCRYPT ? app.file_length : app.output_length;
    app.progress = kind == COMMAND_ENCRYPT ? 0 : (int32_t)plain_len;
    app.pump_thread = start_pump(plain_len);
    set_status(STATUS_COMPUTING);
}

// Returns where the result starts in the buffer.
static const uint8_t *compute_in_memory(int kind)
{
    begin_computing(kind);
    if (kind == COMMAND_ENCRYPT) {
        encrypt_in_place(app.buffer, app.buffer_bytes, app.file_length, app.check, read_stamp(), &app.progress);
        return app.buffer;
    }
    decrypt_in_place(app.buffer, app.buffer_bytes, app.file_length, &app.progress);
    return app.buffer + CONTAINER_HEADER_SIZE;
}

static bool read_source(void *, void *buffer, size_t bytes, uint64_t offset)
{
    return file_read(app.file, buffer, bytes, offset) == 0;
}

static bool write_result(void *, const void *buffer, size_t bytes, uint64_t offset)
{
    return file_write(app.output, buffer, bytes, offset) == 0;
}

static void encrypted(void *, uint64_t done) { app.progress = (int32_t)(uint32_t)done; }
static void decrypted(void *, uint64_t done) { app.progress = (int32_t)(app.output_length - (uint32_t)done); }

// The chunk lies past the buffer's first word, where encryption puts the word it holds back.
static StreamResult compute_streaming(int kind, const uint8_t *header, const ContainerLayout *layout)
{
    StreamIo io = {NULL, read_source, write_result, kind == COMMAND_ENCRYPT ? encrypted : decrypted};
    uint8_t *chunk = app.buffer + 4;
    begin_computing(kind);
    if (kind == COMMAND_ENCRYPT)
        return stream_encrypt(&io, chunk, STREAM_CHUNK_BYTES, app.file_length, app.check, read_stamp());
    // Sized first, so that the writes walking down the file never move its end.
    if (file_set_length(app.output, app.output_length) != 0)
        return STREAM_WRITE_FAILED;
    return stream_decrypt(&io, chunk, STREAM_CHUNK_BYTES, header, layout);
}

// Decrypt only: the password's check value and a container that can be opened.
static const WCHAR *refusal_of(const uint8_t *header, ContainerLayout *layout)
{
    if (container_check(header) != app.check)
        return TEXT_WRONG_PASSWORD;
    return container_layout(header, app.file_length, layout) ? NULL : TEXT_DAMAGED;
}

// Where the result goes, and its file made; a failure's notice once the window is idle again.
static bool prepare_output(void)
{
    FileFacts facts = {};
    facts.links = 1;
    if (app.overwrite && file_facts(app.file, &facts) != 0) {
        end_command();
        fail(TEXT_WRITE_FAILED);
        return false;
    }
    app.output_way = choose_output(facts.links);
    // A file streamed through a chunk cannot be rewritten in its own place.
    const WCHAR *refusal = app.streaming && app.output_way == OUTPUT_IN_PLACE ? TEXT_TOO_LARGE
                         : !open_output() ? TEXT_WRITE_FAILED : NULL;
    if (refusal) {
        end_command();
        fail(refusal);
        return false;
    }
    return true;
}

void transform(int kind)
{
    uint8_t header[CONTAINER_HEADER_SIZE] = {};
    ContainerLayout layout = {};
    const WCHAR *refusal = !read_input(kind, header) ? TEXT_READ_FAILED
                         : kind == COMMAND_DECRYPT ? refusal_of(header, &layout) : NULL;
    // These notices come before the window is idle again, so that it stays as it was meanwhile.
    if (refusal) {
        fail(refusal);
        end_command();
        return;
    }
    app.output_length = kind == COMMAND_ENCRYPT ? CONTAINER_HEADER_SIZE + 4 * container_word_count(app.file_length)
                                                : layout.plain_len;
    if (!prepare_output())
        return;

    StreamResult result = app.streaming ? compute_streaming(kind, header, &layout)
                        : write_output(compute_in_memory(kind)) ? STREAM_DONE : STREAM_WRITE_FAILED;
    if (result == STREAM_DONE) {
        set_status(STATUS_WRITING);
        if (!finish_output())
            result = STREAM_WRITE_FAILED;
    }
    stop_pump(app.pump_thread);
    app.pump_thread = NULL;
    if (result == STREAM_READ_FAILED) {
        fail(TEXT_READ_FAILED);
        end_command();
    } else {
        end_command();
        if (result == STREAM_DONE)
            tell_done();
        else
            fail(TEXT_WRITE_FAILED);
    }
}
