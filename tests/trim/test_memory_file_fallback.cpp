// Pictures encoded ahead where the system gives no memory files (old kernels, sandboxes, a process
// out of descriptors): they wait in plain memory, and the outputs are those of one job.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include "support/child_process.h"
#include "support/picture_files.h"
#include "support/scripted_host.h"
#include "support/test_folder.h"
#include "trim/run/batch_run.h"

namespace phototrim {
namespace {

using testing::TestFolder;

// Makes memfd_create fail with `error` in this process from now on (a seccomp filter, as a sandbox
// would set it). 0, or why the filter could not be set.
int RefuseMemoryFiles(int error) {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_memfd_create, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (static_cast<unsigned>(error) & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return errno;
  if (::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) return errno;
  return 0;
}

RunSummary RunInto(const std::string& in, const std::string& out, int jobs) {
  testing::ScriptedHost host;
  host.input = in;
  host.output = out;
  host.size.row = 12;  // VGA
  Workspace workspace;
  workspace.PumpSlice = {};
  return RunBatch(workspace, host, jobs);
}

TEST(MemoryFileFallback, TwoJobsWithoutMemoryFilesSaveWhatOneJobSaves) {
  TestFolder folder;
  for (int i = 0; i < 4; ++i) testing::WriteJpeg(folder / ("in/" + std::to_string(i) + ".jpg"), 800, 600, {}, i + 1);
  ASSERT_EQ(RunInto(folder / "in/", folder / "one/", 1).SavedCount, 4);
  for (const int error : {ENOSYS, EPERM, EMFILE}) {
    SCOPED_TRACE(std::strerror(error));
    const std::string out = folder / ("two-" + std::to_string(error) + "/");
    const testing::ChildResult child = testing::RunInChild([&] {
      if (RefuseMemoryFiles(error) != 0) ::_exit(testing::kChildCannotSetUp);
      const RunSummary summary = RunInto(folder / "in/", out, 2);
      EXPECT_EQ(summary.SavedCount, 4);
      EXPECT_EQ(summary.ErrorCount, 0);
    });
    if (child.CouldNotSetUp()) GTEST_SKIP() << "no seccomp filter can be set here";
    EXPECT_TRUE(child.Passed()) << child.Describe();
    for (int i = 0; i < 4; ++i) {
      const std::string name = std::to_string(i) + ".jpg";
      EXPECT_EQ(testing::ReadBytes(out + name), testing::ReadBytes(folder / ("one/" + name))) << name;
    }
  }
}

}  // namespace
}  // namespace phototrim
