// qvx: the command-line companion. Encrypts, decrypts, shreds and inspects .QVX containers,
// streaming, so a file of any size the format allows needs only a few MiB.
#include <string.h>

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/platform.h"
#include "cli/text.h"
#include "core/wipe.h"
#include "res/version.h"

static const char EXIT_CODES_TEXT[] =
    "Exit status: 0 every file done; 1 shred not confirmed; 2 usage; 3 wrong password;\n"
    "4 damaged container; 5 a file missing, refused or failing to read or write.\n"
    "Password: --password-file FILE (its first line), else QVX_PASSWORD, else asked on the terminal.\n"
    "The container's key stream comes from its header; the password is only checked, so a container\n"
    "keeps its data from casual eyes, not from a determined reader.\n";

// Enough for any first line whose start holds a whole password.
enum { PASSWORD_LINE_MAX_BYTES = 4096 };

struct Request {
    std::string command;
    std::vector<std::string> files;
    std::string password_file;
    bool yes;
    RunOptions run;
};

static bool starts_with(const char *text, size_t length, const char *start)
{
    return length >= strlen(start) && memcmp(text, start, strlen(start)) == 0;
}

// The first line of the file, UTF-8 with or without a byte-order mark; UTF-16, as some editors
// save "Unicode" text, is refused by its name so that the remedy is plain.
static int password_from_file(const std::string &path, char16_t *password)
{
    char line[PASSWORD_LINE_MAX_BYTES];
    size_t length;
    if (!password_file_line(path.c_str(), line, sizeof line, &length))
        return report_failure(path, std::string("cannot read the password file: ") + platform_reason(), EXIT_USAGE);
    bool utf16 = starts_with(line, length, "\xFF\xFE") || starts_with(line, length, "\xFE\xFF");
    size_t start = starts_with(line, length, "\xEF\xBB\xBF") ? 3 : 0;
    if (length > start && line[length - 1] == '\r')
        length--;
    bool valid = !utf16 && utf8_to_utf16(line + start, length - start, password, PASSWORD_BUFFER_UNITS);
    wipe_secret(line, sizeof line);
    if (utf16)
        return report_failure(path, "the password file is UTF-16 text; save it as UTF-8", EXIT_USAGE);
    return valid ? EXIT_DONE : report_failure(path, "the password file is not UTF-8 text", EXIT_USAGE);
}

static int usage_failure(const char *text)
{
    print_error((std::string("qvx: ") + text + "\n").c_str());
    return EXIT_USAGE;
}

// Asked twice on the terminal for encryption, as the confirmation the program asks for.
static int password_from_terminal(bool twice, char16_t *password)
{
    int got = terminal_password("Password: ", password, PASSWORD_BUFFER_UNITS);
    if (got == 0)
        return usage_failure("no password: give --password-file, set QVX_PASSWORD or run on a terminal");
    if (got < 0)
        return usage_failure("the password is not Unicode text");
    if (!twice)
        return EXIT_DONE;
    char16_t again[PASSWORD_BUFFER_UNITS];
    got = terminal_password("Password again: ", again, PASSWORD_BUFFER_UNITS);
    bool same = got > 0 && confirm_password(password, again);
    wipe_secret(again, sizeof again);
    return same ? EXIT_DONE : usage_failure("the two passwords differ");
}

static int get_password(const Request *request, char16_t *password)
{
    int status = EXIT_DONE;
    if (!request->password_file.empty()) {
        status = password_from_file(request->password_file, password);
    } else {
        int got = environment_password("QVX_PASSWORD", password, PASSWORD_BUFFER_UNITS);
        if (got < 0)
            return usage_failure("QVX_PASSWORD is not Unicode text");
        if (got == 0)
            status = password_from_terminal(request->command == "encrypt", password);
    }
    if (status == EXIT_DONE && password[0] == 0)
        return usage_failure("the password is empty");
    return status;
}

static void add_command(CLI::App *app, Request *request, const char *name, const char *about, bool password)
{
    CLI::App *sub = app->add_subcommand(name, about);
    sub->add_option("FILE", request->files, "files to work on")->required();
    sub->add_flag("-q,--quiet", request->run.quiet, "no progress line and no report of each file done");
    if (password)
        sub->add_option("--password-file", request->password_file, "read the password from the first line of this file");
    sub->callback([request, name] { request->command = name; });
}

static int run_files(Request *request)
{
    typedef int (*FileCommand)(const RunOptions *, const std::string &);
    static const struct { const char *name; FileCommand run; bool password; } commands[] = {
        {"encrypt", encrypt_file, true}, {"decrypt", decrypt_file, true},
        {"shred", shred_file, false},    {"info", info_file, false},
        {"verify", verify_file, true},
    };
    int status = EXIT_DONE;
    for (const auto &command : commands) {
        if (request->command != command.name)
            continue;
        if (command.password && (status = get_password(request, request->run.password)) != EXIT_DONE)
            return status;
        for (const std::string &file : request->files) {
            int one = command.run(&request->run, file);
            if (status == EXIT_DONE)
                status = one;
        }
    }
    return status;
}

int qvx_main(int argc, char **argv)
{
    static Request request;
    CLI::App app("qvx: encrypt, decrypt, shred and inspect .QVX containers", "qvx");
    app.require_subcommand(1);
    app.footer(EXIT_CODES_TEXT);
    app.set_version_flag("--version", "qvx " QVX_VERSION_DOTTED " (QVX " QVX_VERSION_TEXT ")");
    add_command(&app, &request, "encrypt", "write FILE.QVX beside each FILE (--in-place: replace FILE)", true);
    add_command(&app, &request, "decrypt", "write each FILE without its .QVX suffix (-o OUT or --in-place otherwise)", true);
    add_command(&app, &request, "shred", "overwrite each FILE with a pattern, cut it and delete it", false);
    add_command(&app, &request, "info", "show a container's plaintext length, stamp and whether it is whole", false);
    add_command(&app, &request, "verify", "check each container's password and length; write nothing", true);
    for (const char *name : {"encrypt", "decrypt"}) {
        CLI::App *sub = app.get_subcommand(name);
        sub->add_flag("--in-place", request.run.in_place, "replace FILE itself");
        sub->add_flag("-f,--force", request.run.force, "replace an existing output");
    }
    app.get_subcommand("decrypt")->add_option("-o,--output", request.run.output, "output name (one FILE only)");
    app.get_subcommand("shred")->add_flag("-y,--yes", request.yes, "do not ask first");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int shown = app.exit(e);
        return shown == 0 ? EXIT_DONE : EXIT_USAGE;
    }
    if (!request.run.output.empty() && (request.files.size() != 1 || request.run.in_place))
        return report_failure(request.run.output, "-o takes one FILE and no --in-place", EXIT_USAGE);
    if (request.command == "shred" && !request.yes && !terminal_confirm("Shred these files? Their data cannot be brought back. [y/N] ")) {
        print_error("qvx: shred not confirmed; nothing changed\n");
        return EXIT_DECLINED;
    }
    int status = run_files(&request);
    wipe_secret(request.run.password, sizeof request.run.password);
    return status;
}
