// Says how wide a pointer is and exits with that many bits: the test stage
// runs the 32-bit build of this to learn whether the machine runs 32-bit
// programs at all.
#include <cstdio>

int main() {
    int bits = static_cast<int>(sizeof(void*) * 8);
    std::printf("%d-bit program running\n", bits);
    return bits;
}
