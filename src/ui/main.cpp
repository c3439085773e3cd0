// tessaly-jobs: the window front-end.
#include "ui/VelaApp.h"

int main(int argc, char** argv) {
    return tessaly::ui::RunTessalyJobs(argc, argv);
}
