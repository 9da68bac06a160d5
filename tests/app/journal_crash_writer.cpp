// Stands in for the program during a crash: starts the journal of an image file, makes edits
// on the file's bytes and journals each, says "ready" and waits to be killed. With SOURCE the
// journal is that of an image without a file (read from the unit), whose bytes are the file's.
//   journal_crash_writer JOURNAL IMAGE_FILE FILE_TIME_MS STEPS [SOURCE]
#include "image/edit_journal.h"
#include "image/edit_steps.h"
#include "image/firmware_image.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6)
        return 2;
    FirmwareImage image;
    image.LoadBin(argv[2]);
    EditJournal journal;
    if (argc == 6)
        journal.StartUnsaved(argv[1], argv[5],
                             {image.Bytes(), image.Bytes() + FirmwareImage::Size});
    else
        journal.Start(argv[1], argv[2], std::stoll(argv[3]));
    const int steps = std::stoi(argv[4]);
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    for (int i = 0; i < steps; ++i) {
        ChangeCollector step(image);
        const auto address = static_cast<uint16_t>(0x100 + 3 * i);
        image.WriteWord(address, static_cast<uint16_t>(image.ReadWord(address) + 0x101));
        journal.Push({"step " + std::to_string(i), now + i, step.Changes()});
    }
    std::puts("ready");
    std::fflush(stdout);
    for (;;)
        pause();
}
