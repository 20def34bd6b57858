/* Linker script of the freestanding installer image: three sections, so that the PE headers
   fit in one 512-byte file block and only two sections pay for padding to the next block.
     .text  code
     .data  constants, the import table, initialised data
     .bss   zero-initialised data, which takes no room in the file
   The import table's pieces must stay in the order of their $ suffixes, and within each
   piece the import library's head, entries and tail objects in name order, so that every
   DLL's directory entry and address list are contiguous and end in their terminators. */
SECTIONS
{
  .text __image_base__ + __section_alignment__ :
  {
    *(.text) *(SORT(.text$*)) *(.text.*)
  }
  .data BLOCK(__section_alignment__) :
  {
    *(.rdata) *(SORT(.rdata$*)) *(.rodata) *(.rodata.*)
    . = ALIGN(4);
    ".idata$2" = ABSOLUTE(.) - __image_base__;
    SORT(*)(.idata$2)
    SORT(*)(.idata$3)
    LONG(0); LONG(0); LONG(0); LONG(0); LONG(0);
    ".idata$4" = ABSOLUTE(.) - __image_base__;
    SORT(*)(.idata$4)
    ".idata$5" = ABSOLUTE(.) - __image_base__;
    SORT(*)(.idata$5)
    ".idata$6" = ABSOLUTE(.) - __image_base__;
    SORT(*)(.idata$6)
    SORT(*)(.idata$7)
    *(.data) *(SORT(.data$*)) *(.data.*)
  }
  .bss BLOCK(__section_alignment__) (NOLOAD) :
  {
    *(.bss) *(SORT(.bss$*)) *(.bss.*) *(COMMON)
  }
  /DISCARD/ :
  {
    *(.comment) *(.note*) *(.debug*) *(.eh_frame) *(.pdata) *(.xdata) *(.gnu.*)
  }
}
