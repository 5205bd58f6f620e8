// Test main: every test process gets a private IPC namespace, so tests can run in parallel
// and never meet the machine's real segments.
#include <gtest/gtest.h>
#include <sched.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv) {
    if (unshare(CLONE_NEWIPC) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWIPC) != 0) {
        std::fprintf(stderr, "cannot create a private IPC namespace: %s\n", std::strerror(errno));
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
