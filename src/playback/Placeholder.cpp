// The player lands here.
