#include "platform/InterfaceTexts.h"

#include "platform/InterfaceLanguages.h"

// Texts are Unicode throughout: the Japanese and Chinese columns show on
// any system, and the Portuguese "Tradução" and "Mudança" keep their
// accented letters. The French Network1 text holds a no-break space.
const std::array<InterfaceTextRow, InterfaceTextControls>& interfaceTextTable()
{
    // clang-format off
    static const std::array<InterfaceTextRow, InterfaceTextControls> table{{
        {"Tools1", {"T&ools", "&Utilitaires", "&Utillajes", "&Werkzeugs", "T&ools", "T&ools", "工具", "工具(&O)"}},
        {"N1", {"&File", "&Fichier", "&Archivo", "&Datei", "&Archivio", "&Arquivo", "ファイル", "文件(&F)"}},
        {"Opensourcefile1", {"&Open Source Document ...", "&Ouvrir ...", "&Abrir ...", "Öff&nen ...", "&Aprire Il Documento Di Sorgente ...", "&Abrir ...", "原書類を開けなさい ...", "打开源文件(&O)..."}},
        {"Open1", {"&Save Translated Document ...", "&Enregistrer ...", "&Guardar ...", "&Speichern ...", "&Documento Tradotto Risparmio ...", "&Salvar ...", "保存は文書を翻訳した ...", "保存翻译结果(&S)..."}},
        {"Print1", {"Print ...", "Imprimer ...", "&Imprimir ...", "Drucken ...", "Stampa ...", "Imprimir ...", "印刷 ...", "打印(&P)..."}},
        {"PrinterSetup1", {"Printer Setup", "Mise en Imprimer", "Configuración de Imprimir", "Seite einrichten", "Messa a punto Di Stampante", "Configuração da Imprimir", "プリンター組み立て", "打印设置(&U)"}},
        {"Exit1", {"E&xit", "&Quitter", "&Salir", "&Beenden", "&Uscita", "&Sair", "出口", "退出(&E)"}},
        {"Edit1", {"&Edit", "&Edition", "&Editar", "&Bearbeiten", "&Stampare", "&Editar", "編集", "编辑(&E)"}},
        {"Undo1", {"Undo", "Découdre", "Deshacer", "Letzte", "Undo", "Undo", "取消", "撤销(&U)"}},
        {"Redo1", {"Redo", "Refaire", "Rehacer", "Nochmals tun", "Rifre", "Redo", "やり直", "重复(&R)"}},
        {"Copy1", {"Copy", "Copier", "Copiar", "Kopieren", "Copiare", "Copiar", "複写", "复制(&C)"}},
        {"Cut1", {"Cut", "Couper", "Cortar", "Ausschneiden", "Tagliare", "Recortar", "切口", "剪切(&X)"}},
        {"Paste1", {"Paste", "Coller", "Pegar", "Einfügen", "Colla", "Colar", "つく", "粘贴(&P)"}},
        {"SelectAll1", {"Select All", "Tout Sélectionner", "Seleccionar todo", "Alles markieren", "Selezionare Tutti", "Selecionar tudo", "選ぶ", "全选(&A)"}},
        {"Find1", {"Find ...", "Trouver Dans Cette Page...", "Buscar...", "Finde...", "Ritrovamento ...", "Procurar nesta página ...", "発見 ...", "查找(&F)..."}},
        {"Replace1", {"Replace ...", "Remplacer ...", "Reemplazar ...", "Ersetzen ...", "Sostituire ...", "Substitua ...", "取り替えなさい ...", "替换(&E)..."}},
        {"ranslate1", {"&Translate", "&Traduire", "&Traducir", "überse&tzen", "&Tradurre", "&Traduza", "翻訳", "翻译(&T)"}},
        {"ranslateSinglethreaded1", {"Translate", "Traduire", "Traducir", "übersetzen", "Tradurre", "Traduza", "翻訳", "翻译"}},
        {"Server1", {"&Server", "&Serveur", "&Servidor", "&Server", "&Server", "&Server", "サーバー", "服务器(&S)"}},
        {"XMethodMenu", {"Server 1", "Serveur 1", "Servidor 1", "Server 1", "Server 1", "Server 1", "サーバー 1", "服务器 1"}},
        {"VelociGenMenu", {"Server 3", "Serveur 3", "Servidor 3", "Server 3", "Server 3", "Server 3", "サーバー 3", "服务器 3"}},
        {"Xmethod2001", {"Server 2", "Serveur 2", "Servidor 2", "Server 2", "Server 2", "Server 2", "サーバー 2", "服务器 2"}},
        {"Preference1", {"&Preference", "&Préférences", "&Preferencias", "&Einstellungen", "&Preferenza", "&Preferencias", "設定", "选项(&P)"}},
        {"ProxySettings1", {"Proxy Settings", "Mandataire", "Proxy", "Proxy", "Procura", "Proxy", "Proxy設定", "代理服务器设置(&P)"}},
        {"ranslate2", {"Translation Settings", "Traduction", "Traducción", "übersetzen", "Traduzione", "Tradução", "翻訳環境設定", "翻译环境设置(&E)"}},
        {"Network1", {"Timeout Settings", "Pouce\u00A0!", "Conexión", "Timeout Settings", "Prespegnimento", "Intervalo de parada", "タイムアウトの設定", "网络超时设置(&T)"}},
        {"Help1", {"&Help", "&Aide", "&Ayuda", "&Hilfe", "Aiut&o", "&Ajuda", "助け", "帮助(&H)"}},
        {"Manual1", {"Manual", "Manuel", "Manual", "Manual", "Manuale", "Manual", "ユーザーの手引", "用户手册(&M)"}},
        {"Update1", {"Live Update ...", "Réactualiser ...", "Actualización ...", "Aktualisieren ...", "Aggiornamento In tensione ...", "Update Vivo ...", "生きている更新 ...", "在线升级(&U)..."}},
        {"Homepage1", {"Homepage ...", "page d'accueil ...", "Página de inicio ...", "Startseite ...", "Homepage ...", "Homepage ...", "ホームページ ...", "软件主页(&H)..."}},
        {"About1", {"About ...", "A propos de ...", "Acerca de ...", "über ...", "Circa ...", "Sobre ...", "について ...", "关于(&A)..."}},
        {"Screen1", {"&Interface", "&Interface", "&Interfaz", "&Interface", "&Interfaccia", "&Interface", "言語", "界面(&I)"}},
        {"OpenBtn", {"Open", "Ouvrir", "Abrir", "Öff&nen", "Aperto", "Abrir", "開いた", "打开"}},
        {"SaveBtn", {"Save", "Enregistrer", "Guardar", "Speichern", "Risparmi", "Salvar", "を除けば", "保存"}},
        {"TransBtn", {"Translate", "Traduire", "Traducir", "überse&tzen", "Tradurre", "Traduza", "翻訳", "翻译"}},
        {"ClearBtn", {"Clear", "Effacer", "Eliminar", "Leeren", "Annullare", "Limpar", "除去", "清除"}},
        {"BitBtn6", {"Undo", "Découdre", "Deshacer", "Letzte", "Undo", "Undo", "取消", "撤销"}},
        {"FontBtn", {"Font", "Police", "Tipo", "Schriftart", "Caratteri", "Batismal", "字體", "字体"}},
        {"Voice1", {"&Voice", "&Voix", "&Voz", "&Stimme", "&Voce", "&Voz", "発音", "声音(&V)"}},
        {"SpeedButton1", {"Color", "Coloris", "Color", "Farbe", "Colore", "Cor", "颜色", "颜色"}},
        {"SpeedButton2", {"Print", "Imprimer", "Imprimir", "Drucken", "Stampa", "Imprimir", "印刷", "打印"}},
        {"SetBtn", {"Swap", "Echanger", "Canjear", "Tausch", "Scambio", "Troca", "交換", "交换"}},
        {"HelpBtn", {"Viewer", "Visionner", "Visor", "Beschauer", "Visore", "Visor", "視者", "乱码"}},
        {"SpeedButton5", {"Help", "Aide", "Ayuda", "Hilfe", "Aiuto", "Ajuda", "助け", "帮助"}},
        {"BackBtn", {"Back", "Précédent", "Atrás", "Zurück", "Posteriore", "Voltar", "後退", "回退"}},
        {"ForwardBtn", {"Forward", "Suivant", "Adelante", "Vorwärts", "Andata", "Avançar", "前進", "前进"}},
        {"GoBtn", {"Go", "Aller", "Ir", "Los", "Andare", "Seguir", "行き", "浏览"}},
        {"StopBtn", {"Stop", "Arrêter", "Detener", "Abbrechen", "Arrestarsi", "Parar", "停止", "停止"}},
        {"RefreshBtn", {"Refresh", "Refresh", "Actualizar", "Aktualisieren", "Rinfrescare", "Desfazer", "革新", "刷新"}},
        {"HomeBtn", {"Home", "Maison", "Inicio", "Startseite", "Domestico", "Local", "回家", "主页"}},
        {"ObBtn", {"Observe", "Pagewatch", "Amaitinar", "überwachen", "Osservare", "Observe", "監視", "监视器"}},
        {"TextBtn", {"Text", "Texte", "Texto", "Texte", "Testo", "Texto", "テキスト", "文本"}},
        {"ChangeBtn", {"Change", "Changer", "Demudar", "ändern", "Cambia", "Mudança", "変更", "状态"}},
        {"LblAddress", {"Address", "Adresse", "Direcciones", "Adresse", "Indirizzo", "Endereço", "地址欄", "地址"}},
        {"TranslateDocument1", {"&Translate Document...", "&Traduire un document...", "&Traducir documento...", "Dokument &übersetzen...", "&Traduci documento...", "&Traduzir documento...", "文書を翻訳...", "翻译文档(&T)..."}},
    }};
    // clang-format on
    return table;
}

int interfaceTextColumn(const QString& stored)
{
    // The columns follow the Interface menu's items that have a command.
    int column = 0;
    for (const InterfaceLanguage& l : interfaceLanguages()) {
        if (*l.stored == 0)
            continue;
        if (stored == QString::fromUtf8(l.stored))
            return column;
        ++column;
    }
    return -1;
}

const std::array<InterfaceTextRow, InterfaceNameControls>& interfaceNameTable()
{
    // clang-format off
    static const std::array<InterfaceTextRow, InterfaceNameControls> table{{
        {"BoldBtn", {"Bold", "Gras", "Negrita", "Fett", "Grassetto", "Negrito", "太字", "粗体"}},
        {"ItalicBtn", {"Italic", "Italique", "Cursiva", "Kursiv", "Corsivo", "Itálico", "斜体", "斜体"}},
        {"UnderlineBtn", {"Underline", "Souligné", "Subrayado", "Unterstrichen", "Sottolineato", "Sublinhado", "下線", "下划线"}},
        {"LeftBtn", {"Align Left", "Aligner à gauche", "Alinear a la izquierda", "Linksbündig", "Allinea a sinistra", "Alinhar à esquerda", "左揃え", "左对齐"}},
        {"CentreBtn", {"Center", "Centrer", "Centrar", "Zentriert", "Centra", "Centralizar", "中央揃え", "居中"}},
        {"RightBtn", {"Align Right", "Aligner à droite", "Alinear a la derecha", "Rechtsbündig", "Allinea a destra", "Alinhar à direita", "右揃え", "右对齐"}},
        {"ReTranBtn", {"Translate this page again", "Traduire de nouveau cette page", "Traducir de nuevo esta página", "Diese Seite erneut übersetzen", "Tradurre di nuovo questa pagina", "Traduzir esta página de novo", "このページを再翻訳", "重新翻译此页"}},
        {"CB1", {"Source language", "Langue source", "Idioma de origen", "Ausgangssprache", "Lingua di origine", "Idioma de origem", "翻訳元の言語", "源语言"}},
        {"CB2", {"Destination language", "Langue cible", "Idioma de destino", "Zielsprache", "Lingua di destinazione", "Idioma de destino", "翻訳先の言語", "目标语言"}},
        {"CBServer", {"Web translation server", "Serveur de traduction web", "Servidor de traducción web", "Webübersetzungsserver", "Server di traduzione web", "Servidor de tradução web", "ウェブ翻訳サーバー", "网页翻译服务器"}},
        {"Memo1", {"Source text", "Texte source", "Texto de origen", "Ausgangstext", "Testo di origine", "Texto de origem", "原文", "原文"}},
        {"Memo2", {"Translation", "Traduction", "Traducción", "Übersetzung", "Traduzione", "Tradução", "訳文", "译文"}},
        {"DocumentProgress", {"Document translation progress", "Progression de la traduction du document", "Progreso de la traducción del documento", "Fortschritt der Dokumentübersetzung", "Avanzamento della traduzione del documento", "Progresso da tradução do documento", "文書の翻訳の進み具合", "文档翻译进度"}},
    }};
    // clang-format on
    return table;
}

namespace {
template <std::size_t N>
QList<InterfaceText> column(const std::array<InterfaceTextRow, N>& table, const QString& stored)
{
    QList<InterfaceText> texts;
    const int column = interfaceTextColumn(stored);
    if (column < 0)
        return texts;
    texts.reserve(qsizetype(N));
    for (const InterfaceTextRow& row : table)
        texts.append({QString::fromLatin1(row.control), QString::fromUtf8(row.text[column])});
    return texts;
}
} // namespace

QList<InterfaceText> interfaceTexts(const QString& stored)
{
    return column(interfaceTextTable(), stored);
}

QList<InterfaceText> interfaceNames(const QString& stored)
{
    return column(interfaceNameTable(), stored);
}
