# Front door for the usual tasks; every target first installs whatever is missing.
#   make run     Release build, then solve examples/basic.json
#   make test    Debug build with the tests, then ctest
#   make build   Release build of the library and the command-line tool
#   make asan    AddressSanitizer + UndefinedBehaviorSanitizer build, then ctest
#   make tsan    ThreadSanitizer build, then ctest
#   make fuzz    build the libFuzzer targets with clang and run each for FUZZ_SECONDS (default 120)
#   make libcxx  Release build of the library and the tool with clang and libc++
#   make crosslib-check  compare the answers of the g++ and the libc++ builds on CROSSLIB_COUNT
#                (default 5000) generated requests; any difference fails
#   make valgrind  Release build, then the tool on every example under valgrind's memcheck
#   make bench   time the current tree against bench/baseline-commit (see docs/performance.md)
#   make bench-check  fail when a guarded benchmark response has changed
#   make diff-check   shortcuts on against off, and against the reference build, on generated
#                     requests (DIFF_REQUESTS fresh-thread and DIFF_ONE_THREAD one-thread ones)
#   make wasm    the engine in WebAssembly (js/dist/) and the playground (build/web/); asks
#                scripts/bootstrap for Emscripten
#   make wasm-test  the package's tests, the playground in Chromium, and the WebAssembly answers
#                against the native ones on WASM_REQUESTS generated requests
#   make deb     Debian packages libvarbex0, libvarbex-dev and varbex in build/deb/ (CPack)
#   make package-check  the wheel and the Debian packages built, unpacked and used, lintian
#   make clean   remove build/ (make distclean also removes .deps/ and .apt/)
# WERROR=1 turns compiler warnings into errors, as CI does.

WERROR ?= 0
JOBS ?= 2
CMAKE ?= cmake
CPACK ?= cpack
CTEST ?= ctest
FUZZ_SECONDS ?= 120
DIFF_REQUESTS ?= 100000
DIFF_ONE_THREAD ?= 10000
CROSSLIB_COUNT ?= 5000
WASM_REQUESTS ?= 2000
# Debian's Emscripten finds its JavaScript modules only there when Node is not Debian's.
EMSCRIPTEN_ENV := NODE_PATH=/usr/share/nodejs

# Always pass the option, so that a cached ON from an earlier run does not outlive WERROR=1.
WERROR_FLAG := -DVARBEX_WERROR=$(if $(filter 1 ON on yes,$(WERROR)),ON,OFF)

.PHONY: all bootstrap bootstrap-tests build run test asan tsan fuzz libcxx crosslib-check valgrind \
  bench bench-check diff-check wasm wasm-test deb package-check clean distclean
all: build

# Building and running need little; the test tools (browser, Dask, sanitizers, ...) come only with
# the targets that use them.
bootstrap:
	@scripts/bootstrap

bootstrap-tests:
	@scripts/bootstrap --tests

build: bootstrap
	$(CMAKE) -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DVARBEX_BUILD_TESTS=OFF $(WERROR_FLAG)
	$(CMAKE) --build build/release -j$(JOBS)

run: build
	build/release/cli/varbex solve --pretty examples/basic.json

# $(1): build folder, $(2): extra CMake options
define configure_build_and_test
	$(CMAKE) -S . -B $(1) -DCMAKE_BUILD_TYPE=Debug -DVARBEX_BUILD_TESTS=ON $(WERROR_FLAG) $(2)
	$(CMAKE) --build $(1) -j$(JOBS)
	cd $(1) && $(CTEST) --output-on-failure -j$(JOBS)
endef

test: bootstrap-tests
	$(call configure_build_and_test,build/debug,)

asan: bootstrap-tests
	$(call configure_build_and_test,build/asan,-DVARBEX_SANITIZE=ON)

tsan: bootstrap-tests
	$(call configure_build_and_test,build/tsan,-DVARBEX_TSAN=ON)

# Fails on any finding; the input that caused it is kept under build/fuzz/findings/.
fuzz: bootstrap-tests
	WERROR=$(WERROR) JOBS=$(JOBS) scripts/fuzz $(FUZZ_SECONDS)

# Another standard library must give the same answers. GoogleTest from Debian is built for
# libstdc++, so this build has the library and the checks' tools only.
libcxx: bootstrap-tests
	CC=clang CXX=clang++ $(CMAKE) -S . -B build/libcxx -DCMAKE_BUILD_TYPE=Release \
	  -DVARBEX_BUILD_TESTS=OFF -DVARBEX_DIFF_TOOLS=ON -DCMAKE_CXX_FLAGS=-stdlib=libc++ $(WERROR_FLAG)
	$(CMAKE) --build build/libcxx -j$(JOBS) --target varbex varbex_requests varbex_solve_lines

# The g++ side is the Release tree of the differential checks, with their generator and runner.
crosslib-check: libcxx
	$(CMAKE) -S . -B build/diff/current -DCMAKE_BUILD_TYPE=Release -DVARBEX_BUILD_TESTS=OFF \
	  -DVARBEX_DIFF_TOOLS=ON $(WERROR_FLAG)
	$(CMAKE) --build build/diff/current -j$(JOBS) --target varbex_requests varbex_solve_lines
	scripts/crosslib-check --count $(CROSSLIB_COUNT) build/diff/current build/libcxx

valgrind: bootstrap-tests build
	scripts/valgrind build/release/cli/varbex

# Both build in Release under build/bench with one compile job; bench/bootstrap adds matplotlib.
bench: bootstrap-tests
	@bench/bootstrap
	python3 bench/run.py

bench-check: bootstrap-tests
	python3 bench/guard.py check

# Fails on any difference; the differing requests are kept under build/diff/differences/.
diff-check: bootstrap
	python3 scripts/diff-check --requests $(DIFF_REQUESTS) --one-thread $(DIFF_ONE_THREAD) --jobs $(JOBS)

wasm:
	@scripts/bootstrap --wasm
	$(EMSCRIPTEN_ENV) emcmake $(CMAKE) -S js -B build/wasm -DCMAKE_BUILD_TYPE=Release
	$(EMSCRIPTEN_ENV) $(CMAKE) --build build/wasm -j$(JOBS)
	web/assemble build/web

wasm-test: bootstrap-tests wasm
	cd js && node --test test/
	python3 scripts/wasm-check --requests $(WASM_REQUESTS) --jobs $(JOBS)
	/usr/bin/python3 -m pytest -q -p no:cacheprovider tests/web

# A Release tree for the prefix /usr of its own, with Debian's hardening flags (stack protector,
# checked string functions, relocations read-only and bound at start; Release's -O3 comes after
# their -O2 and wins); CPack packs each install component as one package.
DEB_FLAGS = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
deb:
	@scripts/bootstrap --deb
	$(CMAKE) -S . -B build/package -DCMAKE_BUILD_TYPE=Release -DVARBEX_BUILD_TESTS=OFF \
	  -DVARBEX_DIFF_TOOLS=OFF -DCMAKE_INSTALL_PREFIX=/usr -DVARBEX_DEBIAN_PACKAGES=ON $(WERROR_FLAG) \
	  -DCMAKE_C_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$($(DEB_FLAGS) CPPFLAGS) $$($(DEB_FLAGS) CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$$($(DEB_FLAGS) LDFLAGS)"
	$(CMAKE) --build build/package -j$(JOBS)
	rm -rf build/deb
	cd build/package && $(CPACK) -G DEB -B $(CURDIR)/build/deb
	rm -rf build/deb/_CPack_Packages
	@ls build/deb/*.deb

package-check: bootstrap-tests deb
	JOBS=$(JOBS) scripts/package-check

clean:
	rm -rf build

distclean: clean
	rm -rf .deps .apt
