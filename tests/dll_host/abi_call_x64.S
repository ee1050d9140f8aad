/* CallWithCanaries (see abi_call.h) for 64-bit Windows (GNU assembler): the AbiCall in RCX. */
        .text
        .globl  CallWithCanaries
CallWithCanaries:
        /* This function's own caller expects RBX, RBP, RDI, RSI, R12-R15 and XMM6-XMM15 back. */
        pushq   %rbp
        pushq   %rbx
        pushq   %rdi
        pushq   %rsi
        pushq   %r12
        pushq   %r13
        pushq   %r14
        pushq   %r15
        subq    $168, %rsp
        movdqu  %xmm6, 0(%rsp)
        movdqu  %xmm7, 16(%rsp)
        movdqu  %xmm8, 32(%rsp)
        movdqu  %xmm9, 48(%rsp)
        movdqu  %xmm10, 64(%rsp)
        movdqu  %xmm11, 80(%rsp)
        movdqu  %xmm12, 96(%rsp)
        movdqu  %xmm13, 112(%rsp)
        movdqu  %xmm14, 128(%rsp)
        movdqu  %xmm15, 144(%rsp)
        movq    %rcx, %rax
        movq    %rsp, 704(%rax)
        movq    %rax, current_call(%rip)

        /* A fresh stack area, 32-byte aligned, then moved by the misalignment, with the 32
         * bytes of home space the callee may write. */
        movq    %rsp, %r10
        andq    $-32, %r10
        subq    $512, %r10
        addq    40(%rax), %r10
        leaq    -32(%r10), %rsp
        cmpl    $0, 440(%rax)
        je      1f
        vzeroupper                      /* what comes back set is the callee's */
1:
        movdqu  120(%rax), %xmm6
        movdqu  136(%rax), %xmm7
        movdqu  152(%rax), %xmm8
        movdqu  168(%rax), %xmm9
        movdqu  184(%rax), %xmm10
        movdqu  200(%rax), %xmm11
        movdqu  216(%rax), %xmm12
        movdqu  232(%rax), %xmm13
        movdqu  248(%rax), %xmm14
        movdqu  264(%rax), %xmm15
        movq    8(%rax), %rcx
        movq    16(%rax), %rdx
        movq    24(%rax), %r8
        movq    32(%rax), %r9
        movq    (%rax), %r11
        movabsq $0x1B1B1B1B1B1B1B1B, %rbx
        movabsq $0xBADC0FFEBADC0FFE, %rbp
        movabsq $0xD1D1D1D1D1D1D1D1, %rdi
        movabsq $0x5151515151515151, %rsi
        movabsq $0x1212121212121212, %r12
        movabsq $0x1313131313131313, %r13
        movabsq $0x1414141414141414, %r14
        movabsq $0x1515151515151515, %r15
        call    *%r11

        movq    current_call(%rip), %rax
        cmpl    $0, 440(%rax)
        je      2f
        vextractf128 $1, %ymm0, 448(%rax)
        vextractf128 $1, %ymm1, 464(%rax)
        vextractf128 $1, %ymm2, 480(%rax)
        vextractf128 $1, %ymm3, 496(%rax)
        vextractf128 $1, %ymm4, 512(%rax)
        vextractf128 $1, %ymm5, 528(%rax)
        vextractf128 $1, %ymm6, 544(%rax)
        vextractf128 $1, %ymm7, 560(%rax)
        vextractf128 $1, %ymm8, 576(%rax)
        vextractf128 $1, %ymm9, 592(%rax)
        vextractf128 $1, %ymm10, 608(%rax)
        vextractf128 $1, %ymm11, 624(%rax)
        vextractf128 $1, %ymm12, 640(%rax)
        vextractf128 $1, %ymm13, 656(%rax)
        vextractf128 $1, %ymm14, 672(%rax)
        vextractf128 $1, %ymm15, 688(%rax)
2:
        movq    %rbx, 56(%rax)
        movq    %rbp, 64(%rax)
        movq    %rdi, 72(%rax)
        movq    %rsi, 80(%rax)
        movq    %r12, 88(%rax)
        movq    %r13, 96(%rax)
        movq    %r14, 104(%rax)
        movq    %r15, 112(%rax)
        movdqu  %xmm6, 280(%rax)
        movdqu  %xmm7, 296(%rax)
        movdqu  %xmm8, 312(%rax)
        movdqu  %xmm9, 328(%rax)
        movdqu  %xmm10, 344(%rax)
        movdqu  %xmm11, 360(%rax)
        movdqu  %xmm12, 376(%rax)
        movdqu  %xmm13, 392(%rax)
        movdqu  %xmm14, 408(%rax)
        movdqu  %xmm15, 424(%rax)
        /* The caller removes nothing here: RSP must be where it was at the call. */
        movq    704(%rax), %rdx
        andq    $-32, %rdx
        subq    $512, %rdx
        addq    40(%rax), %rdx
        subq    $32, %rdx
        movq    %rsp, %rcx
        subq    %rdx, %rcx
        movq    %rcx, 48(%rax)
        cmpl    $2, 440(%rax)
        jne     3f
        movq    %rax, %r10
        movl    $1, %ecx
        xgetbv
        movl    %eax, 444(%r10)
        movq    %r10, %rax
3:
        movq    704(%rax), %rsp
        movdqu  0(%rsp), %xmm6
        movdqu  16(%rsp), %xmm7
        movdqu  32(%rsp), %xmm8
        movdqu  48(%rsp), %xmm9
        movdqu  64(%rsp), %xmm10
        movdqu  80(%rsp), %xmm11
        movdqu  96(%rsp), %xmm12
        movdqu  112(%rsp), %xmm13
        movdqu  128(%rsp), %xmm14
        movdqu  144(%rsp), %xmm15
        addq    $168, %rsp
        popq    %r15
        popq    %r14
        popq    %r13
        popq    %r12
        popq    %rsi
        popq    %rdi
        popq    %rbx
        popq    %rbp
        ret

        .bss
        .balign 8
current_call:
        .space  8
