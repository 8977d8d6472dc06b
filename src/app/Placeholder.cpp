// The application shell lands here.
