/* The reference for `kvbench scan`: libmpg123 alone building its frame index
   (mpg123_scan) with the same settings the engine uses. Prints the frame count. */
#include <mpg123.h>
#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: kv_mpg123_scan FILE\n");
        return 2;
    }
    mpg123_init();
    mpg123_handle *h = mpg123_new(NULL, NULL);
    if (!h)
        return 1;
    mpg123_param(h, MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_param(h, MPG123_INDEX_SIZE, -16384, 0);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    if (mpg123_open(h, argv[1]) != MPG123_OK || mpg123_scan(h) != MPG123_OK) {
        fprintf(stderr, "%s\n", mpg123_strerror(h));
        mpg123_delete(h);
        return 1;
    }
    off_t *offsets = NULL, step = 0;
    size_t fill = 0;
    mpg123_index(h, &offsets, &step, &fill);
    printf("frames: %lld (index %zu, step %lld)\n", (long long)mpg123_framelength(h), fill, (long long)step);
    mpg123_close(h);
    mpg123_delete(h);
    return 0;
}
