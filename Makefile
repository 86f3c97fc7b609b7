# The two commands of the README (make test, make demo), and make bench, make dist, make fuzz.
.PHONY: all setup build test demo bench dist fuzz clean

JOBS ?= 2
# How long make fuzz runs each fuzz target.
FUZZ_SECONDS ?= 20

all: build

setup:
	@scripts/setup

build: setup
	@for preset in native native32 win64 win32; do \
	  mkdir -p build; cmake --preset $$preset >build/$$preset.log 2>&1 || { cat build/$$preset.log; exit 1; }; \
	  cmake --build --preset $$preset -j$(JOBS) >>build/$$preset.log 2>&1 || { cat build/$$preset.log; exit 1; }; \
	  echo "built $$preset"; \
	done

test: build
	@scripts/run-tests

demo: setup
	@mkdir -p build; { cmake --preset win64 && cmake --build --preset win64 -j$(JOBS) --target LARKLIB8 examples; } \
	  >build/demo.log 2>&1 || { cat build/demo.log; exit 1; }
	@scripts/demo

bench: setup
	@cmake --preset native >/dev/null && cmake --build --preset native -j$(JOBS) --target lark_bench >/dev/null
	@build/native/lark_bench --benchmark_min_time=0.2 --benchmark_enable_random_interleaving=true
	@JOBS=$(JOBS) scripts/wine-bench

# docs/reference.md, written anew from the type libraries (make test fails when it is stale).
.PHONY: reference
reference: setup
	@for preset in win64 win32; do \
	  mkdir -p build; cmake --preset $$preset >build/$$preset.log 2>&1 || { cat build/$$preset.log; exit 1; }; \
	done
	@cmake --build build/win32 -j$(JOBS) --target lark_idl >>build/win32.log 2>&1 || { cat build/win32.log; exit 1; }
	@cmake --build build/win64 -j$(JOBS) --target LARKLIB8 typelib_reference >>build/win64.log 2>&1 || { cat build/win64.log; exit 1; }
	@scripts/wine-prefix setup build/win64/LARKLIB8.dll >/dev/null && scripts/reference write; \
	  status=$$?; scripts/wine-prefix stop >/dev/null; exit $$status

dist: build
	@cmake --build build/win64 --target dist >/dev/null && cmake --build build/win32 --target dist >/dev/null
	@scripts/package
	@ls -l dist/x86 dist/x64 dist/*.zip

fuzz: setup
	@mkdir -p build; cmake --preset fuzz >build/fuzz.log 2>&1 || { cat build/fuzz.log; exit 1; }
	@cmake --build --preset fuzz -j$(JOBS) >>build/fuzz.log 2>&1 || { cat build/fuzz.log; exit 1; }
	@fuzz/run $(FUZZ_SECONDS)

clean:
	rm -rf build dist
