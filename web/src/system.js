// What the page's module lacks from the system, for the parts of the
// library that the page never reaches or that mean nothing in memory: no
// program can be started (the link launcher's spawn fails with ENOSYS),
// and starting the write-back of a file in memory has nothing to do.
mergeInto(LibraryManager.library, {
  posix_spawnp: function () {
    return 52; // ENOSYS
  },
  sync_file_range: function () {
    return 0;
  },
});
