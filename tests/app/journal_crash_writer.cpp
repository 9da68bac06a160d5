// Stands in for the program during a crash: starts the journal of an image file, makes edits
// on the file's bytes and journals each, says "ready" and waits to be killed.
//   journal_crash_writer JOURNAL IMAGE_FILE FILE_TIME_MS STEPS
#include "image/edit_journal.h"
#include "image/edit_steps.h"
#include "image/firmware_image.h"

#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 5)
        return 2;
    FirmwareImage image;
    image.LoadBin(argv[2]);
    EditJournal journal;
    journal.Start(argv[1], argv[2], std::stoll(argv[3]));
    const int steps = std::stoi(argv[4]);
    for (int i = 0; i < steps; ++i) {
        ChangeCollector step(image);
        const auto address = static_cast<uint16_t>(0x100 + 3 * i);
        image.WriteWord(address, static_cast<uint16_t>(image.ReadWord(address) + 0x101));
        journal.Push({"step " + std::to_string(i), i, step.Changes()});
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        pause();
}
