# The project's whole set-up: `make run` builds and starts the program,
# `make test` builds and runs the whole suite. Both install missing packages.
.PHONY: run test deps build install package

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j$$(nproc)

run: build
	./build/stereoglass

test: deps
	@scripts/run-tests.sh

# The program and its library, installed under PREFIX (default /usr/local).
PREFIX ?= /usr/local
install: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j$$(nproc) --target stereoglass libstereoglass
	@cmake --install build --prefix $(PREFIX)

# The .deb files in build/: stereoglass, libstereoglass1 and libstereoglass-dev
# (<name>_<version>_<arch>.deb), for `apt install ./build/stereoglass_*.deb`.
package: build
	@cmake --build build --target package
