// libstereoglass.so is built from the component libraries as whole archives;
// this file only gives the shared library a source of its own.
