#include "CatalogueTestSupport.h"

#include "catalogue/TableError.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using DurabilityTest = DataFolderTest;

// The child adds rows and is killed straight after the last commit, with
// the tables still open: nothing may depend on closing them.
TEST_F(DurabilityTest, CommittedRowsSurviveTheProcessBeingKilled)
{
    openCatalogue().reset(); // created by a normal run first
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            auto catalogue = openCatalogue();
            for (int i = 0; i < 3; ++i)
                addRecording(*catalogue, QDateTime(QDate(2009, 2, 3), QTime(4, 5, i)), 60, true, "777");
            Table& folders = catalogue->folders();
            folders.append();
            folders.field("FolderId").setText("KILLED");
            folders.field("FolderName").setText("Made before the kill");
            folders.commit();
            ::raise(SIGKILL);
        } catch (...) {
        }
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended with " << WEXITSTATUS(status);
    ASSERT_EQ(WTERMSIG(status), SIGKILL);

    auto catalogue = openCatalogue();
    EXPECT_EQ(catalogue->calls().rowCount(), 3);
    EXPECT_TRUE(catalogue->folders().locate("FolderId", "KILLED"));
    EXPECT_FALSE(QFileInfo::exists(path("Recordings.d-journal")));
}

} // namespace
