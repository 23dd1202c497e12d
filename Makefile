# The project's whole set-up: `make run` builds and starts the program,
# `make test` builds and runs the whole suite. Both install missing packages.
.PHONY: run test deps build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build build -j$$(nproc)

run: build
	./build/stereoglass

test: deps
	@scripts/run-tests.sh
